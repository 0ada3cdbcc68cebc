// Writes a seed corpus for one of the liborlak fuzzers into the folder given
// as the only argument: real files made with fresh keys, so the fuzzer starts
// from inputs that pass the parsers.
#include <sodium.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "EncFormat.h"
#include "Encryption.h"
#include "KeyStore.h"
#include "Keys.h"
#include "SignFormat.h"
#include "Signing.h"
#if SEED_KIND == 4
#include "FixedKeys.h"
#include "HandMadeFiles.h"
#endif

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
  // Version-1 records as the library wrote them before (signatures are not
  // the parser's business), and a version-2 record signed over them.
  std::string old = Read(dir + "text");
  for (unsigned i = 1; i <= 2; ++i) {
    orlak::SignRecord record;
    record.version = orlak::kSignVersion1;
    record.index = i;
    record.id = i == 1 ? "alice" : "bob";
    record.contentLength = Read(dir + "text").size();
    randombytes_buf(record.signature, sizeof record.signature);
    unsigned char bytes[orlak::kSignRecordSize];
    orlak::EncodeSignRecord(record, bytes);
    old.append(reinterpret_cast<char*>(bytes), sizeof bytes);
  }
  Write(dir + "version1", old);
  orlak::SignFile(dir + "version1", dir + "mixed", carol);
#elif SEED_KIND == 2
  orlak::EncryptFile(dir + "text", dir + "one", alice, {bob.pub});
  orlak::EncryptFile(dir + "text", dir + "three", alice, {alice.pub, bob.pub, carol.pub});
  orlak::EncryptFile(dir + "empty", dir + "enc-empty", alice, {bob.pub});
  const std::string one = Read(dir + "one");
  Write(dir + "cut", one.substr(0, one.size() - 9));
  // The same frame in version 1's layout: no commitment after the entries.
  std::string old = one;
  old[8] = static_cast<char>(orlak::kEncVersion1);
  old.erase(orlak::CommittedSize(1), orlak::kCommitmentSize);
  Write(dir + "version1", old);
#elif SEED_KIND == 4
  // Files the fuzzer's fixed keys open, of both versions.
  const orlak_fuzz::FixedKeys fixed;
  const std::vector<orlak::PublicKey> both = {fixed.bob.pub, fixed.carol.pub};
  Write(dir + "long", std::string(70000, 'x'));
  orlak::EncryptFile(dir + "text", dir + "v2-text", fixed.alice, both);
  orlak::EncryptFile(dir + "empty", dir + "v2-empty", fixed.alice, {fixed.bob.pub});
  orlak::EncryptFile(dir + "long", dir + "v2-long", fixed.alice, both);
  Write(dir + "v1-text",
        orlak_test::HandMadeFile(orlak::kEncVersion1, fixed.alice, both, Read(dir + "text")));
  Write(dir + "v1-long",
        orlak_test::HandMadeFile(orlak::kEncVersion1, fixed.alice, both, Read(dir + "long")));
  std::remove((dir + "long").c_str());
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
