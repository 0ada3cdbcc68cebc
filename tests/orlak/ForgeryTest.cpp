// A receiver of a file for several receivers knows its file key. This plays
// such a receiver who builds a new file under the old header: the forgery
// is well-formed (its maker accepts it), yet the other receiver refuses it.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>

#include "Bytes.h"
#include "Codes.h"
#include "EncFormat.h"
#include "Encryption.h"
#include "ReceiverKeys.h"
#include "platform/Cp1251.h"
#include "tests/support/TestSupport.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class ForgeryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(sodium_init(), 0);
    orlak::GenerateKeyPair("sender", sender_);
    orlak::GenerateKeyPair("mallory", mallory_);
    orlak::GenerateKeyPair("victim", victim_);
    WriteFile(Path("plain"), "pay 100 to mallory");
    ASSERT_EQ(
        orlak::EncryptFile(Native("plain"), Native("sealed"), sender_, {mallory_.pub, victim_.pub}),
        orlak::kOk);
    original_ = ReadFile(Path("sealed"));
  }
  std::string Path(const std::string& name) { return dir_.Path() + name; }
  std::string Native(const std::string& name) { return platform::Cp1251ToUtf8(Path(name)); }

  // What mallory (receiver 0) can make: the original header, a new payload
  // under the same file key, its own seal, and the victim's seal copied.
  std::string Forge(const std::string& text) {
    orlak::MemorySource source(original_.data(), original_.size());
    orlak::EncLayout layout;
    EXPECT_EQ(orlak::ParseEncryptedFile(source, layout), orlak::kOk);
    const orlak::EncHeader& header = layout.header;
    orlak::PairKeys keys;
    EXPECT_EQ(orlak::DerivePairKeys(mallory_.boxSk(), sender_.pub.boxPk, sender_.pub.boxPk,
                                    mallory_.pub.boxPk, header.salt, 0, keys),
              orlak::kOk);
    unsigned char ad[orlak::kWrapAssociatedDataSize];
    orlak::WrapAssociatedData(layout.headerBytes.data(),
                              layout.headerBytes.data() + orlak::kHeaderFixedSize, ad);
    unsigned char fileKey[orlak::kFileKeySize];
    EXPECT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(
                  fileKey, nullptr, nullptr, header.receivers[0].wrappedKey, orlak::kWrappedKeySize,
                  ad, sizeof ad, header.receivers[0].nonce, keys.wrap()),
              0);

    unsigned char digest[32];
    crypto_generichash(digest, sizeof digest, layout.headerBytes.data(), layout.headerBytes.size(),
                       nullptr, 0);
    // The pushing state is the pulling state of the same header and key.
    crypto_secretstream_xchacha20poly1305_state stream;
    EXPECT_EQ(
        crypto_secretstream_xchacha20poly1305_init_pull(&stream, header.streamHeader, fileKey), 0);
    std::string chunk(text.size() + orlak::kChunkOverhead, '\0');
    crypto_secretstream_xchacha20poly1305_push(
        &stream, reinterpret_cast<unsigned char*>(chunk.data()), nullptr,
        reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, sizeof digest,
        crypto_secretstream_xchacha20poly1305_TAG_FINAL);

    std::string forged(layout.headerBytes.begin(), layout.headerBytes.end());
    forged += chunk;
    unsigned char length[8];
    orlak::PutU64(length, chunk.size());
    crypto_onetimeauth_state seal;
    crypto_onetimeauth_init(&seal, keys.seal());
    crypto_onetimeauth_update(&seal, layout.headerBytes.data(), layout.headerBytes.size());
    crypto_onetimeauth_update(&seal, reinterpret_cast<const unsigned char*>(chunk.data()),
                              chunk.size());
    crypto_onetimeauth_update(&seal, length, sizeof length);
    unsigned char ownSeal[orlak::kSealSize];
    crypto_onetimeauth_final(&seal, ownSeal);
    forged.append(reinterpret_cast<const char*>(length), sizeof length);
    forged.append(reinterpret_cast<const char*>(ownSeal), sizeof ownSeal);
    const size_t victimSeal = original_.size() - 8 - orlak::kSealSize;
    forged += original_.substr(victimSeal, orlak::kSealSize + 8);  // victim's seal, end mark
    return forged;
  }

  TempDir dir_;
  orlak::SecretKey sender_, mallory_, victim_;
  std::string original_;
};

TEST_F(ForgeryTest, TheOtherReceiverRefusesAFileForgedByAFellowReceiver) {
  ASSERT_EQ(orlak::DecryptFile(Native("sealed"), Native("victim-original"), victim_, sender_.pub),
            orlak::kOk);
  EXPECT_EQ(ReadFile(Path("victim-original")), "pay 100 to mallory");

  for (const std::string text : {"pay 900 to mallory", "pay 100000 to mallory now"}) {
    WriteFile(Path("forged"), Forge(text));
    ASSERT_EQ(orlak::DecryptFile(Native("forged"), Native("mallory"), mallory_, sender_.pub),
              orlak::kOk);
    EXPECT_EQ(ReadFile(Path("mallory")), text);
    EXPECT_EQ(orlak::DecryptFile(Native("forged"), Native("victim"), victim_, sender_.pub),
              orlak::kAuthFailed)
        << text;
    EXPECT_FALSE(FileExists(Path("victim")));
  }
}

TEST_F(ForgeryTest, ANewFileCannotBeMadeInTheSendersName) {
  // Mallory encrypts with its own key but writes the sender's name and keys
  // into the header: the victim's wrapped key does not open.
  WriteFile(Path("lie"), "pay 900 to mallory");
  ASSERT_EQ(orlak::EncryptFile(Native("lie"), Native("lie.enc"), mallory_, {victim_.pub}),
            orlak::kOk);
  std::string bytes = ReadFile(Path("lie.enc"));
  std::string original = original_;
  // Sender identifier and both public keys sit at bytes 72..149.
  bytes.replace(72, 78, original.substr(72, 78));
  WriteFile(Path("lie.enc"), bytes);
  EXPECT_EQ(orlak::DecryptFile(Native("lie.enc"), Native("victim"), victim_, sender_.pub),
            orlak::kAuthFailed);
  EXPECT_FALSE(FileExists(Path("victim")));
}

}  // namespace
}  // namespace orlak_test
