#include "PgpFixture.h"

#include <cstring>

namespace pgp_test {

using testing_support::ReadFile;
using testing_support::WriteFile;

void PgpTest::SetUp() {
  ASSERT_EQ(SignInit(keys_.secret.c_str(), keys_.publics.c_str()), 0);
  ASSERT_EQ(CryptoInit(keys_.secret.c_str(), keys_.publics.c_str()), 0);
}

void PgpTest::TearDown() {
  CryptoDone();
  SignDone();
}

std::vector<unsigned char> PgpTest::Block(const std::string& id, const std::string* folder) {
  std::vector<unsigned char> block(ORLAK_KEY_BLOCK_SIZE);
  EXPECT_EQ(ExtractKey((folder ? *folder : keys_.publics).c_str(), id.c_str(), block.data()), 0)
      << id;
  return block;
}

uint16_t PgpTest::Sign(const std::string& in, const std::string& out, const std::string& id) {
  return SignFile(in.c_str(), out.c_str(), id.c_str());
}

uint16_t PgpTest::Encrypt(const std::string& in, const std::string& out, const std::string& sender,
                          const std::vector<std::string>& receivers) {
  std::vector<std::vector<unsigned char>> blocks;
  std::vector<const void*> pointers;
  for (const std::string& id : receivers) blocks.push_back(Block(id));
  for (const auto& block : blocks) pointers.push_back(block.data());
  return EnCryptFileEx(in.c_str(), out.c_str(), sender.c_str(), pointers.data(),
                       static_cast<uint16_t>(pointers.size()), 0);
}

uint16_t PgpTest::Decrypt(const std::string& in, const std::string& out,
                          const std::string& receiver, const std::string& sender) {
  const auto block = Block(sender);
  return DeCryptFileEx(in.c_str(), out.c_str(), receiver.c_str(), block.data());
}

orlak_test::CheckResult PgpTest::Check(const std::string& file) {
  orlak_test::CheckResult result;
  uint8_t count = 0;
  OrlakSignRecord* records = nullptr;
  result.code = check_file_sign(file.c_str(), &count, &records);
  for (uint8_t i = 0; i < count; ++i) {
    const char* id = reinterpret_cast<const char*>(records[i].Bytes);
    result.ids.emplace_back(id, strnlen(id, ORLAK_SIGN_RECORD_KEYID_SIZE));
    result.statuses.push_back(records[i].Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET]);
  }
  if (records) {
    EXPECT_EQ(FreeMemory(records), 0);
  }
  return result;
}

std::string PgpTest::Incoming(const std::string& file, const std::string& receiver,
                              const std::string& sender, orlak_test::CheckResult& check) {
  const std::string plain = file + ".dec";
  EXPECT_EQ(Decrypt(file, plain, receiver, sender), 0);
  check = Check(plain);
  EXPECT_EQ(DelSign(plain.c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
  return testing_support::FileExists(plain) ? ReadFile(plain) : std::string();
}

std::string PgpTest::Content(const std::string& name, size_t size) {
  const std::string path = Path(name);
  WriteFile(path, orlak_test::RandomText(size));
  return path;
}

int PgpTest::GpgSign(const std::string& signer, const std::string& input, const std::string& output,
                     const std::string& options) {
  return Shell(keys_.Gpg(options + "--local-user " + signer + " --output " + output + " --sign " +
                         input))
      .status;
}

}  // namespace pgp_test
