// marvik: key utility of liborlak.
#include <cstring>
#include <iostream>
#include <cstdlib>
#include <string>
#include <vector>

#include "Commands.h"
#include "Inventory.h"
#include "PgpCommands.h"

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
    "        secret key file its group or others may access is refused. OpenPGP\n"
    "        keys add format, algorithm/size, created, expires, capabilities and\n"
    "        what the library refuses and why\n"
    "  list SECRET_FOLDER PUBLIC_FOLDER [--script SETTINGS_FILE] [--days N]\n"
    "  list --script SETTINGS_FILE [--days N]\n"
    "        the inventory: every key of both folders (the script's when not\n"
    "        given), both formats, one tab-separated line each: folder,\n"
    "        identifier, format, fingerprint, algorithm/size, created, expires,\n"
    "        capabilities, state (usable, expires in N days, expired, revoked,\n"
    "        weak, refused: why) and the steps of the script that use it; then\n"
    "        the identifiers steps name that no key file provides. N: days\n"
    "        ahead an expiry is shown (the script's KEY_WARN_DAYS, else 30)\n"
    "  create-pgp ID SECRET_FOLDER PUBLIC_FOLDER USER_ID [--rsa3072|--rsa4096]\n"
    "             [--expires YYYY-MM-DD]\n"
    "        create an OpenPGP key pair (Ed25519 signing key, Cv25519 encryption\n"
    "        subkey unless RSA is asked for): ID.asc in both folders\n"
    "  import-public ID PUBLIC_FOLDER FILE\n"
    "        import a partner's public key (armored or binary, as gpg --export\n"
    "        writes it) as ID.asc and show its fingerprint\n"
    "  import-secret ID SECRET_FOLDER PUBLIC_FOLDER FILE\n"
    "        import one of our secret keys (gpg --export-secret-keys); its\n"
    "        passphrase is asked once, the key is stored unprotected, mode 0600\n"
    "  export ID FOLDER\n"
    "        write the OpenPGP public key of ID, armored, for a partner\n"
    "  find FOLDER IDENTIFIER\n"
    "        the OpenPGP keys a fingerprint, key ID or e-mail address names\n"
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
  if (command == "create-pgp") {
    if (rest < 4) return Usage("create-pgp needs ID SECRET_FOLDER PUBLIC_FOLDER USER_ID");
    marvik::PgpKeyOptions options;
    for (int i = 6; i < argc; ++i) {
      const std::string option = argv[i];
      if (option == "--rsa3072" || option == "--rsa4096")
        options.algorithm = option.substr(2);
      else if (option == "--expires" && i + 1 < argc)
        options.expires = argv[++i];
      else
        return Usage(("unknown option '" + option + "'").c_str());
    }
    return marvik::CreatePgpKey(argv[2], argv[3], argv[4], argv[5], options, std::cout,
                                std::cerr);
  }
  if (command == "import-public") {
    if (rest != 3) return Usage("import-public needs ID PUBLIC_FOLDER FILE");
    return marvik::ImportPublic(argv[2], argv[3], argv[4], std::cout, std::cerr);
  }
  if (command == "import-secret") {
    if (rest != 4) return Usage("import-secret needs ID SECRET_FOLDER PUBLIC_FOLDER FILE");
    return marvik::ImportSecret(argv[2], argv[3], argv[4], argv[5], std::cin, std::cout,
                                std::cerr);
  }
  if (command == "export") {
    if (rest != 2) return Usage("export needs ID FOLDER");
    return marvik::ExportPublic(argv[2], argv[3], std::cout, std::cerr);
  }
  if (command == "find") {
    if (rest != 2) return Usage("find needs FOLDER IDENTIFIER");
    return marvik::FindKeys(argv[2], argv[3], std::cout, std::cerr);
  }
  if (command == "list") {
    if (rest == 1) return marvik::ListKeys(argv[2], std::cout, std::cerr);
    marvik::InventoryRequest request;
    std::vector<std::string> folders;
    bool daysGiven = false;
    for (int i = 2; i < argc; ++i) {
      const std::string argument = argv[i];
      if (argument == "--script" && i + 1 < argc) {
        request.script = argv[++i];
      } else if (argument == "--days" && i + 1 < argc) {
        char* end = nullptr;
        request.warnDays = static_cast<int>(std::strtol(argv[++i], &end, 10));
        if (*end != '\0' || request.warnDays < 0) return Usage("--days needs a number of days");
        daysGiven = true;
      } else if (argument.rfind("--", 0) == 0) {
        return Usage(("unknown option '" + argument + "'").c_str());
      } else {
        folders.push_back(argument);
      }
    }
    if (folders.size() == 2) {
      request.secretFolder = folders[0];
      request.publicFolder = folders[1];
    } else if (!folders.empty() || request.script.empty()) {
      return Usage("list needs FOLDER, or SECRET_FOLDER PUBLIC_FOLDER, or --script");
    }
    request.daysGiven = daysGiven;
    return marvik::ListInventory(request, std::cout, std::cerr);
  }
  return Usage(("unknown command '" + command + "'").c_str());
}
