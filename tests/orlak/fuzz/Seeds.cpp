// Writes a seed corpus for one of the liborlak fuzzers into the folder given
// as the only argument: real files made with fresh keys, so the fuzzer starts
// from inputs that pass the parsers.
#include <sodium.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "Encryption.h"
#include "KeyStore.h"
#include "Keys.h"
#include "Signing.h"

namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || sodium_init() < 0) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  orlak::SecretKey alice, bob, carol;
  orlak::GenerateKeyPair("alice", alice);
  orlak::GenerateKeyPair("bob", bob);
  orlak::GenerateKeyPair("carol", carol);
  Write(dir + "empty", "");
  Write(dir + "text", "plain text, neither signed nor encrypted");
#if SEED_KIND == 1
  orlak::SignFile(dir + "text", dir + "signed1", alice);
  orlak::SignFile(dir + "signed1", dir + "signed2", bob);
  orlak::SignFile(dir + "empty", dir + "signed-empty", carol);
  const std::string twice = Read(dir + "signed2");
  Write(dir + "separate", twice.substr(twice.size() - 2 * 104));
#elif SEED_KIND == 2
  orlak::EncryptFile(dir + "text", dir + "one", alice, {bob.pub});
  orlak::EncryptFile(dir + "text", dir + "three", alice, {alice.pub, bob.pub, carol.pub});
  orlak::EncryptFile(dir + "empty", dir + "enc-empty", alice, {bob.pub});
  const std::string one = Read(dir + "one");
  Write(dir + "cut", one.substr(0, one.size() - 9));
#else
  std::string failed;
  orlak::CreateKeyFiles(dir.substr(0, dir.size() - 1), dir.substr(0, dir.size() - 1), alice,
                        failed);
  unsigned char block[orlak::kKeyBlockSize];
  orlak::EncodeKeyBlock(reinterpret_cast<const unsigned char*>(Read(dir + "alice.pub").data()),
                        block);
  Write(dir + "alice.block", std::string(reinterpret_cast<char*>(block), sizeof block));
#endif
  return 0;
}
