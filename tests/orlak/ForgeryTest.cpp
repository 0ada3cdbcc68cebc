// Forgeries by the people a file is for. A receiver of a file for several
// receivers knows its file key: it plays one who builds a new file under the
// old header, well-formed (its maker accepts it), yet refused by the other
// receiver, in both versions. A dishonest sender wraps a different file key
// for each receiver: version 1 lets two receivers read different contents
// from one file, which is why version 2 commits to the file key.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>
#include <optional>

#include "Bytes.h"
#include "Codes.h"
#include "EncFormat.h"
#include "Encryption.h"
#include "FileKeys.h"
#include "HandMadeFiles.h"
#include "PayloadDigest.h"
#include "ReceiverKeys.h"
#include "platform/Cp1251.h"
#include "tests/support/TestSupport.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// A sender and two receivers, the first of them the one who cheats.
class Parties {
 protected:
  Parties() {
    EXPECT_GE(sodium_init(), 0);
    orlak::GenerateKeyPair("sender", sender_);
    orlak::GenerateKeyPair("mallory", mallory_);
    orlak::GenerateKeyPair("victim", victim_);
  }
  std::string Path(const std::string& name) { return dir_.Path() + name; }
  std::string Native(const std::string& name) { return platform::Cp1251ToUtf8(Path(name)); }

  TempDir dir_;
  orlak::SecretKey sender_, mallory_, victim_;
};

class ForgeryTest : public ::testing::TestWithParam<unsigned char>, protected Parties {
 protected:
  void SetUp() override {
    WriteFile(Path("plain"), "pay 100 to mallory");
    if (GetParam() == orlak::kEncVersion2) {
      ASSERT_EQ(orlak::EncryptFile(Native("plain"), Native("sealed"), sender_,
                                   {mallory_.pub, victim_.pub}),
                orlak::kOk);
    } else {
      WriteFile(Path("sealed"), HandMadeFile(orlak::kEncVersion1, sender_,
                                             {mallory_.pub, victim_.pub}, "pay 100 to mallory"));
    }
    original_ = ReadFile(Path("sealed"));
    ASSERT_EQ(static_cast<unsigned char>(original_[8]), GetParam());
  }

  // What mallory (receiver 0) can make: the original header, a new payload
  // under the same file key, its own seal, and the victim's seal copied.
  std::string Forge(const std::string& text) {
    orlak::MemorySource source(original_.data(), original_.size());
    orlak::EncLayout layout;
    EXPECT_EQ(orlak::ParseEncryptedFile(source, layout), orlak::kOk);
    const orlak::EncHeader& header = layout.header;
    orlak::PairKeys keys;
    EXPECT_EQ(orlak::DerivePairKeys(header.version, mallory_.boxSk(), sender_.pub.boxPk,
                                    sender_.pub.boxPk, mallory_.pub.boxPk, header.salt, 0, keys),
              orlak::kOk);
    unsigned char ad[orlak::kWrapAssociatedDataSize];
    orlak::WrapAssociatedData(layout.headerBytes.data(),
                              layout.headerBytes.data() + orlak::kHeaderFixedSize, ad);
    unsigned char fileKey[orlak::kFileKeySize];
    EXPECT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(
                  fileKey, nullptr, nullptr, header.receivers[0].wrappedKey, orlak::kWrappedKeySize,
                  ad, sizeof ad, header.receivers[0].nonce, keys.wrap()),
              0);
    std::optional<orlak::FileKeys> fileKeys;
    const unsigned char* streamKey = fileKey;
    if (header.version == orlak::kEncVersion2) streamKey = fileKeys.emplace(fileKey).stream();

    unsigned char digest[32];
    crypto_generichash(digest, sizeof digest, layout.headerBytes.data(), layout.headerBytes.size(),
                       nullptr, 0);
    // The pushing state is the pulling state of the same header and key.
    crypto_secretstream_xchacha20poly1305_state stream;
    EXPECT_EQ(
        crypto_secretstream_xchacha20poly1305_init_pull(&stream, header.streamHeader, streamKey),
        0);
    std::string chunk(text.size() + orlak::kChunkOverhead, '\0');
    crypto_secretstream_xchacha20poly1305_push(
        &stream, reinterpret_cast<unsigned char*>(chunk.data()), nullptr, Bytes(text), text.size(),
        digest, sizeof digest, crypto_secretstream_xchacha20poly1305_TAG_FINAL);

    std::string forged(layout.headerBytes.begin(), layout.headerBytes.end());
    forged += chunk;
    unsigned char length[8];
    orlak::PutU64(length, chunk.size());
    unsigned char ownSeal[orlak::kSealSize];
    if (header.version == orlak::kEncVersion2) {
      orlak::PayloadDigest payload(digest);
      payload.AddChunk(Bytes(chunk), chunk.size());
      unsigned char sealed[orlak::kDigestSize];
      payload.Finish(length, sealed);
      orlak::SealDigest(keys.seal(), sealed, ownSeal);
    } else {
      crypto_onetimeauth_state seal;
      crypto_onetimeauth_init(&seal, keys.seal());
      crypto_onetimeauth_update(&seal, Bytes(forged), forged.size());
      crypto_onetimeauth_update(&seal, length, sizeof length);
      crypto_onetimeauth_final(&seal, ownSeal);
    }
    forged.append(reinterpret_cast<const char*>(length), sizeof length);
    forged.append(reinterpret_cast<const char*>(ownSeal), sizeof ownSeal);
    const size_t victimSeal = original_.size() - 8 - orlak::kSealSize;
    forged += original_.substr(victimSeal, orlak::kSealSize + 8);  // victim's seal, end mark
    return forged;
  }

  std::string original_;
};

INSTANTIATE_TEST_SUITE_P(BothVersions, ForgeryTest,
                         ::testing::Values(orlak::kEncVersion1, orlak::kEncVersion2),
                         [](const auto& info) { return "version" + std::to_string(info.param); });

TEST_P(ForgeryTest, TheOtherReceiverRefusesAFileForgedByAFellowReceiver) {
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

TEST_P(ForgeryTest, ANewFileCannotBeMadeInTheSendersName) {
  // Mallory encrypts with its own key but writes the sender's name and keys
  // into the header: the victim's wrapped key does not open.
  WriteFile(Path("lie.enc"),
            HandMadeFile(GetParam(), mallory_, {victim_.pub}, "pay 900 to mallory"));
  std::string bytes = ReadFile(Path("lie.enc"));
  std::string original = original_;
  // Sender identifier and both public keys sit at bytes 72..149.
  bytes.replace(72, 78, original.substr(72, 78));
  WriteFile(Path("lie.enc"), bytes);
  EXPECT_EQ(orlak::DecryptFile(Native("lie.enc"), Native("victim"), victim_, sender_.pub),
            orlak::kAuthFailed);
  EXPECT_FALSE(FileExists(Path("victim")));
}

class DishonestSenderTest : public ::testing::Test, protected Parties {};

// The record of why version 2 exists: one version-1 file, two receivers, two
// contents, both accepted.
TEST_F(DishonestSenderTest, AVersion1FileGivesTwoReceiversDifferentContents) {
  const DishonestFile file =
      MakeDishonestFile(orlak::kEncVersion1, sender_, mallory_.pub, victim_.pub);
  ASSERT_NE(file.firstPlain, file.secondPlain);
  WriteFile(Path("two-faced"), file.bytes);
  ASSERT_EQ(orlak::DecryptFile(Native("two-faced"), Native("first"), mallory_, sender_.pub),
            orlak::kOk);
  ASSERT_EQ(orlak::DecryptFile(Native("two-faced"), Native("second"), victim_, sender_.pub),
            orlak::kOk);
  EXPECT_EQ(ReadFile(Path("first")), file.firstPlain);
  EXPECT_EQ(ReadFile(Path("second")), file.secondPlain);
}

TEST_F(DishonestSenderTest, AVersion2FileOpensForTheCommittedKeyAloneAndIsRefusedByTheOther) {
  for (size_t committed : {0, 1}) {
    SCOPED_TRACE(committed);
    const DishonestFile file =
        MakeDishonestFile(orlak::kEncVersion2, sender_, mallory_.pub, victim_.pub, committed);
    ASSERT_NE(file.firstPlain, file.secondPlain);
    // The chunk itself opens under either receiver's stream key: only the
    // commitment tells them apart.
    orlak::MemorySource source(file.bytes.data(), file.bytes.size());
    orlak::EncLayout layout;
    ASSERT_EQ(orlak::ParseEncryptedFile(source, layout), orlak::kOk);
    unsigned char headerDigest[32];
    crypto_generichash(headerDigest, 32, layout.headerBytes.data(), layout.headerBytes.size(),
                       nullptr, 0);
    for (const Key32* key : {&file.firstKey, &file.secondKey}) {
      crypto_secretstream_xchacha20poly1305_state stream;
      ASSERT_EQ(crypto_secretstream_xchacha20poly1305_init_pull(
                    &stream, layout.header.streamHeader, orlak::FileKeys(key->data()).stream()),
                0);
      unsigned char plain[64], tag = 0;
      EXPECT_EQ(crypto_secretstream_xchacha20poly1305_pull(&stream, plain, nullptr, &tag,
                                                           Bytes(file.bytes) + layout.payloadOffset,
                                                           layout.payloadLength, headerDigest, 32),
                0);
      EXPECT_EQ(tag, crypto_secretstream_xchacha20poly1305_TAG_FINAL);
    }

    WriteFile(Path("two-faced"), file.bytes);
    const orlak::SecretKey* receivers[] = {&mallory_, &victim_};
    const std::string* plains[] = {&file.firstPlain, &file.secondPlain};
    for (size_t r = 0; r < 2; ++r) {
      std::remove(Native("opened").c_str());
      const uint16_t code =
          orlak::DecryptFile(Native("two-faced"), Native("opened"), *receivers[r], sender_.pub);
      if (r == committed) {
        ASSERT_EQ(code, orlak::kOk) << r;
        EXPECT_EQ(ReadFile(Path("opened")), *plains[r]);
      } else {
        EXPECT_EQ(code, orlak::kAuthFailed) << r;
        EXPECT_FALSE(FileExists(Path("opened")));
      }
    }
  }
}

}  // namespace
}  // namespace orlak_test
