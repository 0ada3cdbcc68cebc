// Opening and closing the library, calls outside that window, argument
// checks and the record arrays of the signature checks.
#include "LibraryFixture.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::TempDir;
using testing_support::WriteFile;

// Every operation of one part, called on files that would otherwise work.
struct Calls {
  std::string file, out;
  std::vector<unsigned char> block = std::vector<unsigned char>(ORLAK_KEY_BLOCK_SIZE, 0xAA);
  uint16_t Sign() { return SignFile(file.c_str(), out.c_str(), "alice"); }
  uint16_t CheckSigns() {
    uint8_t count = 7;
    OrlakSignRecord* records = reinterpret_cast<OrlakSignRecord*>(this);
    uint16_t code = check_file_sign(file.c_str(), &count, &records);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(records, nullptr);
    return code;
  }
  uint16_t Delete() { return DelSign(file.c_str(), 1); }
  uint16_t Extract(const std::string& folder) {
    return ExtractKey(folder.c_str(), "alice", block.data());
  }
  uint16_t Encrypt() {
    const void* blocks[] = {block.data()};
    return EnCryptFileEx(file.c_str(), out.c_str(), "alice", blocks, 1, 0);
  }
  uint16_t Decrypt() { return DeCryptFileEx(file.c_str(), out.c_str(), "alice", block.data()); }
};

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    secret_ = dir_.Sub("secret/");
    public_ = dir_.Sub("public/");
    MakeKey(secret_, public_, "alice");
    calls_.file = dir_.Sub("in");
    calls_.out = dir_.Sub("out");
    WriteFile(calls_.file, "content");
  }
  void TearDown() override {
    CryptoDone();
    SignDone();
  }
  TempDir dir_;
  std::string secret_, public_;
  Calls calls_;
};

TEST_F(LifecycleTest, EveryCallBeforeInitialisationFails) {
  EXPECT_EQ(calls_.Sign(), 8);
  EXPECT_EQ(calls_.CheckSigns(), 8);
  EXPECT_EQ(calls_.Delete(), 8);
  EXPECT_EQ(calls_.Extract(public_), 8);
  EXPECT_EQ(calls_.block, std::vector<unsigned char>(ORLAK_KEY_BLOCK_SIZE, 0));
  EXPECT_EQ(calls_.Encrypt(), 8);
  EXPECT_EQ(calls_.Decrypt(), 8);
  EXPECT_EQ(CryptoDone(), 8);
  EXPECT_EQ(SignDone(), 8);
  EXPECT_FALSE(FileExists(calls_.out));
}

TEST_F(LifecycleTest, EachPartOpensAndClosesOnItsOwn) {
  ASSERT_EQ(SignInit(secret_.c_str(), public_.c_str()), 0);
  EXPECT_EQ(calls_.Sign(), 0);
  EXPECT_EQ(calls_.Extract(public_), 8);  // key blocks belong to encryption
  EXPECT_EQ(calls_.Encrypt(), 8);
  ASSERT_EQ(CryptoInit(secret_.c_str(), public_.c_str()), 0);
  EXPECT_EQ(calls_.Extract(public_), 0);
  EXPECT_EQ(calls_.Encrypt(), 0);
  EXPECT_EQ(SignDone(), 0);
  EXPECT_EQ(calls_.Sign(), 8);
  EXPECT_EQ(calls_.Delete(), 8);
  EXPECT_EQ(calls_.Encrypt(), 0);
  EXPECT_EQ(CryptoDone(), 0);
  EXPECT_EQ(calls_.Encrypt(), 8);
  EXPECT_EQ(calls_.Decrypt(), 8);
  EXPECT_EQ(CryptoDone(), 8);
}

TEST_F(LifecycleTest, InitialisationChecksItsFoldersAndAFailureLeavesThePartClosed) {
  const std::string missing = dir_.Path() + "missing/";
  EXPECT_EQ(SignInit(missing.c_str(), public_.c_str()), 128);
  EXPECT_EQ(SignInit(secret_.c_str(), missing.c_str()), 122);
  EXPECT_EQ(SignInit(nullptr, public_.c_str()), 7);
  EXPECT_EQ(CryptoInit(secret_.c_str(), ""), 7);
  EXPECT_EQ(CryptoInit(calls_.file.c_str(), public_.c_str()), 128);  // a file, not a folder
  EXPECT_EQ(calls_.Sign(), 8);
  EXPECT_EQ(calls_.Encrypt(), 8);
  // A good opening followed by a failed one leaves it closed too.
  ASSERT_EQ(SignInit(secret_.c_str(), public_.c_str()), 0);
  EXPECT_EQ(SignInit(missing.c_str(), public_.c_str()), 128);
  EXPECT_EQ(calls_.Sign(), 8);
}

TEST_F(LifecycleTest, ExtractKeyFillsOrClearsTheBlock) {
  ASSERT_EQ(CryptoInit(secret_.c_str(), public_.c_str()), 0);
  ASSERT_EQ(calls_.Extract(public_), 0);
  EXPECT_NE(calls_.block, std::vector<unsigned char>(ORLAK_KEY_BLOCK_SIZE, 0));
  const std::vector<unsigned char> zero(ORLAK_KEY_BLOCK_SIZE, 0);
  std::fill(calls_.block.begin(), calls_.block.end(), 0xAA);
  EXPECT_EQ(ExtractKey(public_.c_str(), "nobody", calls_.block.data()), 117);
  EXPECT_EQ(calls_.block, zero);
  std::fill(calls_.block.begin(), calls_.block.end(), 0xAA);
  EXPECT_EQ(calls_.Extract(dir_.Path() + "missing"), 122);
  EXPECT_EQ(calls_.block, zero);
  EXPECT_EQ(ExtractKey(public_.c_str(), "a/b", calls_.block.data()), 7);
  EXPECT_EQ(ExtractKey(public_.c_str(), "fourteen-chars", calls_.block.data()), 7);
  EXPECT_EQ(ExtractKey(public_.c_str(), nullptr, calls_.block.data()), 7);
  EXPECT_EQ(ExtractKey(nullptr, "alice", calls_.block.data()), 7);
  EXPECT_EQ(ExtractKey(public_.c_str(), "alice", nullptr), 7);
  // A block whose extraction failed is refused by the encryption calls.
  EXPECT_EQ(calls_.Encrypt(), 121);
  EXPECT_EQ(calls_.Decrypt(), 121);
}

TEST_F(LifecycleTest, RecordArraysAreReleasedOnceAndOnlyOurs) {
  ASSERT_EQ(SignInit(secret_.c_str(), public_.c_str()), 0);
  ASSERT_EQ(calls_.Sign(), 0);
  uint8_t count = 0;
  OrlakSignRecord* records = nullptr;
  ASSERT_EQ(check_file_sign(calls_.out.c_str(), &count, &records), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(records[0].Bytes)), "alice");
  EXPECT_EQ(FreeMemory(records), 0);
  EXPECT_EQ(FreeMemory(records), 7);  // twice
  OrlakSignRecord foreign[1] = {};
  EXPECT_EQ(FreeMemory(foreign), 7);
  EXPECT_EQ(FreeMemory(nullptr), 0);
  EXPECT_EQ(check_file_sign(calls_.out.c_str(), nullptr, &records), 7);
  EXPECT_EQ(check_file_sign(calls_.out.c_str(), &count, nullptr), 7);
  EXPECT_EQ(check_file_sign(nullptr, &count, &records), 7);
  EXPECT_EQ(CheckFileSeparate(calls_.out.c_str(), &count, &records, ""), 7);
}

}  // namespace
}  // namespace orlak_test
