// marvik: key utility of liborlak.
#include <cstring>
#include <iostream>
#include <string>

#include "Commands.h"

namespace {

constexpr const char* kUsage =
    "Usage: marvik COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  create ID SECRET_FOLDER PUBLIC_FOLDER\n"
    "        create a key pair for ID: ID.sec in SECRET_FOLDER (mode 0600) and\n"
    "        ID.pub in PUBLIC_FOLDER; folders are made when missing; an existing\n"
    "        key is never replaced\n"
    "  list FOLDER\n"
    "        list the key files of FOLDER: kind, identifier, fingerprint; a\n"
    "        secret key file its group or others may access is refused\n"
    "  u\n"
    "        check that the cryptographic provider works (known-answer tests)\n"
    "  --help, -h\n"
    "        show this help\n"
    "\n"
    "An identifier is 1 to 13 characters that Windows-1251 can hold, without\n"
    "'/', '\\', ':' or control characters.\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

int Usage(const char* complaint) {
  std::cerr << "marvik: " << complaint << "\n" << kUsage;
  return marvik::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // A launcher that hands "u" as the whole command line, without repeating
  // the program's name, delivers the command as the first argument.
  if (argc == 1 && argv[0] && std::strcmp(argv[0], "u") == 0)
    return marvik::SelfTest(std::cout, std::cerr);
  if (argc < 2) return Usage("no command given");
  const std::string command = argv[1];
  const int rest = argc - 2;
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return marvik::kExitOk;
  }
  if (command == "u") {
    if (rest != 0) return Usage("u takes no arguments");
    return marvik::SelfTest(std::cout, std::cerr);
  }
  if (command == "create") {
    if (rest != 3) return Usage("create needs ID SECRET_FOLDER PUBLIC_FOLDER");
    return marvik::CreateKeyPair(argv[2], argv[3], argv[4], std::cout, std::cerr);
  }
  if (command == "list") {
    if (rest != 1) return Usage("list needs FOLDER");
    return marvik::ListKeys(argv[2], std::cout, std::cerr);
  }
  return Usage(("unknown command '" + command + "'").c_str());
}
