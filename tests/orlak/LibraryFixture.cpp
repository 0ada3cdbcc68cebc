#include "LibraryFixture.h"

#include <sodium.h>

#include <algorithm>

#include "KeyStore.h"
#include "Keys.h"
#include "platform/Cp1251.h"

namespace orlak_test {

void MakeKey(const std::string& secretFolder, const std::string& publicFolder,
             const std::string& id) {
  ASSERT_GE(sodium_init(), 0);
  orlak::SecretKey key;
  orlak::GenerateKeyPair(id, key);
  std::string failedPath;
  ASSERT_EQ(orlak::CreateKeyFiles(platform::Cp1251ToUtf8(secretFolder),
                                  platform::Cp1251ToUtf8(publicFolder), key, failedPath),
            0)
      << failedPath;
}

std::string RandomText(size_t size) {
  std::string bytes(size, '\0');
  if (size > 0) randombytes_buf(bytes.data(), size);
  return bytes;
}

std::string Flipped(std::string bytes, size_t offset, unsigned char mask) {
  bytes[offset] = static_cast<char>(bytes[offset] ^ mask);
  return bytes;
}

bool CheckResult::AllValid() const {
  return code == 0 && !statuses.empty() &&
         std::all_of(statuses.begin(), statuses.end(), [](int s) { return s == 0; });
}

void LibraryTest::SetUp() {
  ASSERT_GE(sodium_init(), 0);
  secret_ = dir_.Sub("secret/");
  public_ = dir_.Sub("public/");
  for (const char* id : {"alice", "bob", "carol", "dave"}) MakeKey(secret_, public_, id);
  ASSERT_EQ(SignInit(secret_.c_str(), public_.c_str()), 0);
  ASSERT_EQ(CryptoInit(secret_.c_str(), public_.c_str()), 0);
}

void LibraryTest::TearDown() {
  CryptoDone();
  SignDone();
}

std::vector<unsigned char> LibraryTest::Block(const std::string& id) {
  std::vector<unsigned char> block(ORLAK_KEY_BLOCK_SIZE);
  EXPECT_EQ(ExtractKey(public_.c_str(), id.c_str(), block.data()), 0) << id;
  return block;
}

CheckResult LibraryTest::Check(const std::string& file, const std::string* separate) {
  CheckResult result;
  uint8_t count = 0;
  OrlakSignRecord* records = nullptr;
  result.code = separate ? CheckFileSeparate(file.c_str(), &count, &records, separate->c_str())
                         : check_file_sign(file.c_str(), &count, &records);
  for (uint8_t i = 0; i < count; ++i) {
    const unsigned char* bytes = records[i].Bytes;
    result.ids.emplace_back(reinterpret_cast<const char*>(bytes),
                            strnlen(reinterpret_cast<const char*>(bytes), 13));
    result.statuses.push_back(bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET]);
  }
  if (records) {
    EXPECT_EQ(FreeMemory(records), 0);
  }
  if (result.code != 0) {
    EXPECT_EQ(count, 0);
  }
  return result;
}

std::vector<std::string> LibraryTest::Leftovers(const std::string& folder,
                                                const std::vector<std::string>& expected) {
  std::vector<std::string> extra;
  for (const std::string& name : testing_support::ListNames(folder))
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
  return extra;
}

}  // namespace orlak_test
