// Decryption of arbitrary bytes as two receivers of fixed keys, files of
// either version: no crash, an output exactly when the call succeeds, no side
// file left behind, and, for version 2, the same plaintext for every receiver
// who opens a file (the header's commitment to the file key).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "Codes.h"
#include "Encryption.h"
#include "FixedKeys.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string folder;
orlak_fuzz::FixedKeys* keys = nullptr;

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t Entries() {
  size_t count = 0;
  DIR* dir = ::opendir(folder.c_str());
  while (dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

// The plaintext, or nothing when the call fails.
bool Open(const orlak::SecretKey& receiver, const std::string& out, std::string& plain) {
  const uint16_t code =
      orlak::DecryptFile(folder + "input", folder + out, receiver, keys->alice.pub);
  Require((code == orlak::kOk) == Exists(folder + out));
  if (code != orlak::kOk) return false;
  plain = Read(folder + out);
  ::unlink((folder + out).c_str());
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (sodium_init() < 0) return 1;
  char name[] = "/tmp/fuzz_decrypt-XXXXXX";
  if (!::mkdtemp(name)) return 1;
  folder = std::string(name) + "/";
  keys = new orlak_fuzz::FixedKeys;
  std::atexit([] {
    ::unlink((folder + "input").c_str());
    ::rmdir(folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ofstream(folder + "input", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  std::string first, second;
  const bool bob = Open(keys->bob, "bob", first);
  const bool carol = Open(keys->carol, "carol", second);
  if (bob && carol && size > 8 && data[8] != 1) Require(first == second);
  Require(Entries() == 1);  // the input alone
  return 0;
}
