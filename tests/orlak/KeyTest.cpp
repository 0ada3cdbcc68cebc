// Key identifiers, key files and key blocks, below the C interface.
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "Codes.h"
#include "KeyId.h"
#include "KeyStore.h"
#include "Keys.h"
#include "LibraryFixture.h"
#include "platform/Cp1251.h"

namespace orlak_test {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(KeyIdTest, LengthAndCharacterRules) {
  EXPECT_TRUE(orlak::IsValidKeyId("a"));
  EXPECT_TRUE(orlak::IsValidKeyId("1234567890123"));
  EXPECT_TRUE(orlak::IsValidKeyId("Иванов И.И."));
  EXPECT_TRUE(orlak::IsValidKeyId("ЁЖЗИЙКЛМНОПРС"));  // 13 bytes in Windows-1251
  EXPECT_TRUE(orlak::IsValidKeyId("a b"));
  EXPECT_FALSE(orlak::IsValidKeyId(""));
  EXPECT_FALSE(orlak::IsValidKeyId("12345678901234"));
  EXPECT_FALSE(orlak::IsValidKeyId("ЁЖЗИЙКЛМНОПРСТ"));
  for (const char* bad : {"a/b", "a\\b", "c:", "tab\there", "new\nline", "del\x7f", ".", ".."})
    EXPECT_FALSE(orlak::IsValidKeyId(bad)) << bad;
  EXPECT_FALSE(orlak::IsValidKeyId(std::string("nul\0x", 5)));
}

TEST(KeyIdTest, ArgumentsAreReadNoFurtherThanTheLongestIdentifier) {
  std::string id;
  char unterminated[14];
  std::memset(unterminated, 'k', sizeof unterminated);  // no zero within reach
  EXPECT_FALSE(orlak::KeyIdFromArgument(unterminated, id));
  EXPECT_FALSE(orlak::KeyIdFromArgument(nullptr, id));
  ASSERT_TRUE(orlak::KeyIdFromArgument("bob", id));
  EXPECT_EQ(id, "bob");
}

TEST(KeyIdTest, FieldRoundTripAndStrictPadding) {
  unsigned char field[orlak::kKeyIdFieldSize];
  orlak::PutKeyIdField(field, "Петров");
  std::string id;
  ASSERT_TRUE(orlak::GetKeyIdField(field, id));
  EXPECT_EQ(id, "Петров");
  field[12] = 'x';  // inside the padding
  EXPECT_FALSE(orlak::GetKeyIdField(field, id));
  orlak::PutKeyIdField(field, "abc");
  field[0] = 14;
  EXPECT_FALSE(orlak::GetKeyIdField(field, id));
  field[0] = 0;
  EXPECT_FALSE(orlak::GetKeyIdField(field, id));
}

TEST(SecretBufferTest, EveryBufferHasWholePagesOfItsOwn) {
  // Locking works on pages: two buffers on one page would unlock each other.
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  std::vector<std::unique_ptr<orlak::SecretBuffer>> buffers;
  for (uintptr_t size : {uintptr_t{1}, uintptr_t{96}, page - 1, page, page + 1})
    buffers.push_back(std::make_unique<orlak::SecretBuffer>(size));
  std::vector<std::pair<uintptr_t, uintptr_t>> spans;
  for (const auto& buffer : buffers) {
    const auto start = reinterpret_cast<uintptr_t>(buffer->data());
    EXPECT_EQ(start % page, 0u) << buffer->size();
    spans.emplace_back(start, start + (buffer->size() + page - 1) / page * page);
  }
  for (size_t i = 0; i < spans.size(); ++i)
    for (size_t j = i + 1; j < spans.size(); ++j)
      EXPECT_TRUE(spans[i].second <= spans[j].first || spans[j].second <= spans[i].first);
}

class KeyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(sodium_init(), 0);
    secret_ = dir_.Sub("s/");
    public_ = dir_.Sub("p/");
    orlak::GenerateKeyPair(kId, key_);
    std::string failed;
    ASSERT_EQ(orlak::CreateKeyFiles(Native(secret_), Native(public_), key_, failed), 0);
  }
  static std::string Native(const std::string& path) { return platform::Cp1251ToUtf8(path); }
  const std::string kId = "Кассир-1";
  TempDir dir_;
  std::string secret_, public_;
  orlak::SecretKey key_;
};

TEST_F(KeyFileTest, FilesLoadBackAsTheSameKeys) {
  orlak::SecretKey secret;
  ASSERT_EQ(orlak::LoadSecretKey(Native(secret_), kId, secret), orlak::kOk);
  orlak::PublicKey pub;
  ASSERT_EQ(orlak::LoadPublicKey(Native(public_), kId, pub), orlak::kOk);
  EXPECT_EQ(secret.pub.id, kId);
  EXPECT_EQ(pub.id, kId);
  EXPECT_EQ(0, std::memcmp(secret.signSk(), key_.signSk(), crypto_sign_SECRETKEYBYTES));
  EXPECT_EQ(0, std::memcmp(secret.boxSk(), key_.boxSk(), crypto_scalarmult_SCALARBYTES));
  EXPECT_EQ(0, std::memcmp(pub.signPk, key_.pub.signPk, sizeof pub.signPk));
  EXPECT_EQ(0, std::memcmp(pub.boxPk, key_.pub.boxPk, sizeof pub.boxPk));
  EXPECT_EQ(orlak::Fingerprint(pub), orlak::Fingerprint(secret.pub));

  struct stat st;
  ASSERT_EQ(::stat(Native(secret_ + kId + ".sec").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(KeyFileTest, ExistingFilesAreNeverReplaced) {
  const std::string before = ReadFile(secret_ + kId + ".sec");
  orlak::SecretKey other;
  orlak::GenerateKeyPair(kId, other);
  std::string failed;
  EXPECT_EQ(orlak::CreateKeyFiles(Native(secret_), Native(public_), other, failed), EEXIST);
  EXPECT_EQ(ReadFile(secret_ + kId + ".sec"), before);
  // Only the public file taken: the secret one must not be left alone.
  TempDir fresh;
  const std::string s = fresh.Sub("s/"), p = fresh.Sub("p/");
  WriteFile(p + kId + ".pub", "someone else's");
  EXPECT_EQ(orlak::CreateKeyFiles(Native(s), Native(p), other, failed), EEXIST);
  EXPECT_EQ(testing_support::ListNames(s), std::vector<std::string>{});
}

TEST_F(KeyFileTest, EveryDamagedByteOfAKeyFileIsRefused) {
  const std::string secretPath = secret_ + kId + ".sec", publicPath = public_ + kId + ".pub";
  const std::string secretBytes = ReadFile(secretPath), publicBytes = ReadFile(publicPath);
  orlak::SecretKey secret;
  orlak::PublicKey pub;
  for (size_t at = 0; at < secretBytes.size(); ++at) {
    WriteFile(secretPath, Flipped(secretBytes, at, 0x40));
    EXPECT_EQ(orlak::LoadSecretKey(Native(secret_), kId, secret), orlak::kSecretKeyDamaged) << at;
  }
  for (size_t at = 0; at < publicBytes.size(); ++at) {
    WriteFile(publicPath, Flipped(publicBytes, at, 0x40));
    EXPECT_EQ(orlak::LoadPublicKey(Native(public_), kId, pub), orlak::kPublicKeyDamaged) << at;
  }
  WriteFile(secretPath, secretBytes + "x");
  EXPECT_EQ(orlak::LoadSecretKey(Native(secret_), kId, secret), orlak::kSecretKeyDamaged);
  WriteFile(publicPath, publicBytes.substr(1));
  EXPECT_EQ(orlak::LoadPublicKey(Native(public_), kId, pub), orlak::kPublicKeyDamaged);
}

TEST_F(KeyFileTest, AKeyFileUnderAnotherNameIsRefused) {
  WriteFile(secret_ + "other.sec", ReadFile(secret_ + kId + ".sec"));
  ASSERT_EQ(::chmod(Native(secret_ + "other.sec").c_str(), 0600), 0);
  WriteFile(public_ + "other.pub", ReadFile(public_ + kId + ".pub"));
  orlak::SecretKey secret;
  orlak::PublicKey pub;
  EXPECT_EQ(orlak::LoadSecretKey(Native(secret_), "other", secret), orlak::kSecretKeyDamaged);
  EXPECT_EQ(orlak::LoadPublicKey(Native(public_), "other", pub), orlak::kPublicKeyDamaged);
  EXPECT_EQ(orlak::LoadSecretKey(Native(secret_), "nobody", secret), orlak::kKeyNotFound);
  EXPECT_EQ(orlak::LoadPublicKey(Native(public_), "nobody", pub), orlak::kPublicKeyMissing);
}

TEST_F(KeyFileTest, ASecretKeyFileItsGroupOrOthersMayAccessIsRefused) {
  const std::string path = Native(secret_ + kId + ".sec");
  orlak::SecretKey secret;
  for (mode_t mode : {0644, 0640, 0604, 0660, 0606, 0610, 0601, 0620, 0602, 0700 | 0040}) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    mode_t open = 0;
    EXPECT_EQ(orlak::LoadSecretKey(Native(secret_), kId, secret, &open), orlak::kSecretKeyDamaged)
        << std::oct << mode;
    EXPECT_EQ(open, mode) << std::oct << mode;
  }
  for (mode_t mode : {0600, 0400, 0700}) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    mode_t open = 1;
    EXPECT_EQ(orlak::LoadSecretKey(Native(secret_), kId, secret, &open), orlak::kOk)
        << std::oct << mode;
    EXPECT_EQ(open, 0u);
  }
  // A damaged file with a loose mode is named for its mode; public keys are
  // meant to be read by anyone.
  WriteFile(secret_ + kId + ".sec", "damaged");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  mode_t open = 0;
  EXPECT_EQ(orlak::LoadSecretKey(Native(secret_), kId, secret, &open), orlak::kSecretKeyDamaged);
  EXPECT_EQ(open, 0644u);
  ASSERT_EQ(::chmod(Native(public_ + kId + ".pub").c_str(), 0666), 0);
  orlak::PublicKey pub;
  EXPECT_EQ(orlak::LoadPublicKey(Native(public_), kId, pub), orlak::kOk);
}

TEST_F(KeyFileTest, KeyBlocksCarryThePublicKeyAndRefuseAnyChange) {
  unsigned char record[orlak::kPublicKeyFileSize];
  orlak::PublicKey pub;
  ASSERT_EQ(orlak::LoadPublicKey(Native(public_), kId, pub, record), orlak::kOk);
  unsigned char block[orlak::kKeyBlockSize];
  orlak::EncodeKeyBlock(record, block);
  orlak::PublicKey fromBlock;
  ASSERT_EQ(orlak::ParseKeyBlock(block, fromBlock), orlak::kOk);
  EXPECT_EQ(fromBlock.id, kId);
  EXPECT_EQ(orlak::Fingerprint(fromBlock), orlak::Fingerprint(pub));
  for (size_t at = 0; at < sizeof block; ++at) {
    block[at] ^= 0x08;
    EXPECT_EQ(orlak::ParseKeyBlock(block, fromBlock), orlak::kPublicKeyDamaged) << at;
    block[at] ^= 0x08;
  }
}

TEST_F(KeyFileTest, PublicKeysOfSmallOrderAreRefused) {
  // A self-signed key file whose agreement key is a point of order 8 would
  // make every shared secret with it known.
  orlak::SecretKey weak;
  orlak::GenerateKeyPair("weak", weak);
  static const unsigned char kOrder8[32] = {0xe0, 0xeb, 0x7a, 0x7c, 0x3b, 0x41, 0xb8, 0xae,
                                            0x16, 0x56, 0xe3, 0xfa, 0xf1, 0x9f, 0xc4, 0x6a,
                                            0xda, 0x09, 0x8d, 0xeb, 0x9c, 0x32, 0xb1, 0xfd,
                                            0x86, 0x62, 0x05, 0x16, 0x5f, 0x49, 0xb8, 0x00};
  std::memcpy(weak.pub.boxPk, kOrder8, 32);
  unsigned char bytes[orlak::kPublicKeyFileSize];
  orlak::EncodePublicKeyFile(weak, bytes);
  orlak::PublicKey pub;
  EXPECT_EQ(orlak::ParsePublicKeyFile(bytes, sizeof bytes, "weak", pub), orlak::kPublicKeyDamaged);
}

}  // namespace
}  // namespace orlak_test
