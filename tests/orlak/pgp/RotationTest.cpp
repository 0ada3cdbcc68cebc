// An identifier with two keys while it rotates: our own key and a partner's
// each get a successor beside them ("<id>.2027.asc"); files made with the old
// keys are still in flight when the new ones take over.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Peers.h"
#include "PgpKeyFiles.h"
#include "orlak.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class Rotation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SignInit(sec_.c_str(), pub_.c_str()), 0);
    ASSERT_EQ(CryptoInit(sec_.c_str(), pub_.c_str()), 0);
  }
  void TearDown() override {
    CryptoDone();
    SignDone();
  }
  std::string MakeKey(const std::string& id, const std::string& uid) {
    orlak::pgp::NewKey request;
    request.id = id;
    request.userId = uid;
    const auto result = orlak::pgp::CreateKeyFiles(sec_, pub_, request);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.error, 0);
    return result.fingerprint;
  }
  std::vector<unsigned char> Block(const std::string& id) {
    std::vector<unsigned char> block(ORLAK_KEY_BLOCK_SIZE);
    EXPECT_EQ(ExtractKey(pub_.c_str(), id.c_str(), block.data()), 0) << id;
    return block;
  }
  uint16_t EncryptFor(const std::string& name, const std::string& receiver) {
    WriteFile(dir_.Path() + name, "payment " + name);
    const std::vector<unsigned char> block = Block(receiver);
    const void* blocks[] = {block.data()};
    return EnCryptFileEx((dir_.Path() + name).c_str(), (dir_.Path() + name + ".gpg").c_str(),
                         "BANK", blocks, 1, 0);
  }
  // The identifiers and statuses of the file's signatures.
  std::vector<std::string> Signers(const std::string& file) {
    uint8_t count = 0;
    OrlakSignRecord* records = nullptr;
    std::vector<std::string> signers;
    if (check_file_sign(file.c_str(), &count, &records) == 0)
      for (uint8_t i = 0; i < count; ++i)
        signers.push_back(std::string(reinterpret_cast<const char*>(records[i].Bytes),
                                      strnlen(reinterpret_cast<const char*>(records[i].Bytes),
                                              ORLAK_SIGN_RECORD_KEYID_SIZE)) +
                          ":" + std::to_string(records[i].Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET]));
    if (records) FreeMemory(records);
    return signers;
  }

  testing_support::TempDir dir_;
  std::string sec_ = dir_.Sub("secret/"), pub_ = dir_.Sub("public/");
};

TEST_F(Rotation, FilesForTheOldAndTheNewKeyBothGoThroughAndTheNewKeyTakesOver) {
  const std::string oldClient = MakeKey("CLIENT", "Client <c@corp.example>");
  MakeKey("BANK", "Bank <pay@bank.example>");
  // In flight: encrypted to our old key, signed with the partner's old key.
  ASSERT_EQ(EncryptFor("before", "CLIENT"), 0);
  WriteFile(dir_.Path() + "signed-before", "statement");
  ASSERT_EQ(SignFile((dir_.Path() + "signed-before").c_str(),
                     (dir_.Path() + "signed-before.sig").c_str(), "BANK"),
            0);

  // Both sides rotate: the successors go beside the keys they replace.
  const std::string newClient = MakeKey("CLIENT.2027", "Client <c@corp.example>");
  const std::string newBank = MakeKey("BANK.2027", "Bank <pay@bank.example>");
  EXPECT_EQ(pgp_test::BlockFingerprint(Block("CLIENT")), newClient)
      << "encryption takes the newest key";
  EXPECT_NE(newClient, oldClient);
  ASSERT_EQ(EncryptFor("after", "CLIENT"), 0);
  WriteFile(dir_.Path() + "signed-after", "statement");
  ASSERT_EQ(SignFile((dir_.Path() + "signed-after").c_str(),
                     (dir_.Path() + "signed-after.sig").c_str(), "BANK"),
            0);

  // Each file decrypts with the identifier, whichever key it was made for.
  const std::vector<unsigned char> sender = Block("BANK");
  EXPECT_EQ(pgp_test::BlockFingerprint(sender), newBank);
  for (const char* name : {"before", "after"}) {
    const std::string out = dir_.Path() + name + ".out";
    ASSERT_EQ(
        DeCryptFileEx((dir_.Path() + name + ".gpg").c_str(), out.c_str(), "CLIENT", sender.data()),
        0)
        << name;
    EXPECT_EQ(ReadFile(out), std::string("payment ") + name);
  }
  // A signature by either of the partner's keys is the identifier's.
  EXPECT_EQ(Signers(dir_.Path() + "signed-before.sig"), std::vector<std::string>{"BANK:0"});
  EXPECT_EQ(Signers(dir_.Path() + "signed-after.sig"), std::vector<std::string>{"BANK:0"});

  // After the overlap the old key is retired: files for it are no longer ours to read.
  ASSERT_EQ(std::remove((sec_ + "CLIENT.asc").c_str()), 0);
  EXPECT_EQ(DeCryptFileEx((dir_.Path() + "before.gpg").c_str(), (dir_.Path() + "late").c_str(),
                          "CLIENT", sender.data()),
            129);  // the file holds no key for this receiver
}

}  // namespace
