// Files of version 1, written by the library before version 2 (kept in
// vectors/v1), still decrypt, check and lose their signatures as before;
// signing over them binds them; and what version 1 never guaranteed is
// recorded here as still so. Files written now follow version 2's layout.
#include <sys/stat.h>

#include <cstring>

#include "Codes.h"
#include "EncFormat.h"
#include "FileKeys.h"
#include "HandMadeFiles.h"
#include "KeyStore.h"
#include "LibraryFixture.h"
#include "PayloadDigest.h"
#include "ReceiverKeys.h"
#include "platform/Cp1251.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

const std::string kVectors = ORLAK_VECTORS;

// The vectors' plaintexts.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 17) ^ (i >> 8));
  return bytes;
}

class CompatibilityTest : public LibraryTest {
 protected:
  // The vectors' keys take the place of the fixture's alice, bob and carol.
  void SetUp() override {
    LibraryTest::SetUp();
    for (const char* id : {"alice", "bob", "carol"}) {
      WriteFile(secret_ + id + ".sec", ReadFile(kVectors + "keys/" + id + ".sec"));
      WriteFile(public_ + id + ".pub", ReadFile(kVectors + "keys/" + id + ".pub"));
    }
    alice_ = Block("alice");
  }
  uint16_t Decrypt(const std::string& bytes, const char* receiver) {
    WriteFile(Path("in"), bytes);
    std::remove(platform::Cp1251ToUtf8(Path("out")).c_str());
    const uint16_t code =
        DeCryptFileEx(Path("in").c_str(), Path("out").c_str(), receiver, alice_.data());
    EXPECT_EQ(FileExists(Path("out")), code == 0);
    return code;
  }
  std::string Vector(const char* name) { return ReadFile(kVectors + name); }

  std::vector<unsigned char> alice_;
};

TEST_F(CompatibilityTest, Version1EncryptedFilesStillDecryptAndRefuseDamage) {
  const std::string two = Vector("enc-two");
  ASSERT_EQ(two[8], 1);
  for (const char* receiver : {"bob", "carol"}) {
    ASSERT_EQ(Decrypt(two, receiver), 0) << receiver;
    EXPECT_TRUE(ReadFile(Path("out")) == Pattern(65536 + 1000)) << receiver;
  }
  ASSERT_EQ(Decrypt(Vector("enc-empty"), "bob"), 0);
  EXPECT_EQ(ReadFile(Path("out")), "");
  EXPECT_EQ(Decrypt(two, "dave"), 129);
  // Version 1's header is 150 + 118 × 2 bytes; its trailer ends in two seals.
  EXPECT_EQ(Decrypt(Flipped(two, 150 + 2 * 118 + 5), "bob"), 4);
  EXPECT_EQ(Decrypt(Flipped(two, 30), "carol"), 4);  // the salt
  const size_t bobsSeal = two.size() - 8 - 2 * 16;
  EXPECT_EQ(Decrypt(Flipped(two, bobsSeal), "bob"), 4);
  EXPECT_EQ(Decrypt(Flipped(two, bobsSeal), "carol"), 0);
  // Relabelled as version 2 it is neither: its wrapped keys name version 1.
  std::string relabelled = two;
  relabelled[8] = 2;
  EXPECT_NE(Decrypt(relabelled, "bob"), 0);
}

TEST_F(CompatibilityTest, Version1SignaturesStillCheckAndComeOff) {
  const std::string content = Pattern(1000), signedFile = Vector("signed");
  WriteFile(Path("signed"), signedFile);
  CheckResult result = Check(Path("signed"));
  EXPECT_EQ(result.ids, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_TRUE(result.AllValid());

  WriteFile(Path("data"), content);
  WriteFile(Path("data.sig"), Vector("separate.sig"));
  const std::string sig = Path("data.sig");
  EXPECT_TRUE(Check(Path("data"), &sig).AllValid());

  ASSERT_EQ(DelSign(Path("signed").c_str(), 1), 0);
  EXPECT_EQ(ReadFile(Path("signed")), signedFile.substr(0, 1000 + kRecord));
  EXPECT_TRUE(Check(Path("signed")).AllValid());
  ASSERT_EQ(DelSign(Path("signed").c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
  EXPECT_EQ(ReadFile(Path("signed")), content);
}

TEST_F(CompatibilityTest, ASignatureAddedToVersion1RecordsBindsThem) {
  const std::string old = Vector("signed");
  WriteFile(Path("signed"), old);
  ASSERT_EQ(SignFile(Path("signed").c_str(), Path("signed").c_str(), "carol"), 0);
  const std::string mixed = ReadFile(Path("signed"));
  ASSERT_EQ(mixed.size(), 1000 + 3 * kRecord);
  EXPECT_EQ(mixed.substr(0, old.size()), old);
  EXPECT_EQ(mixed[old.size()], 2);  // the new record is of version 2
  CheckResult result = Check(Path("signed"));
  EXPECT_EQ(result.ids, (std::vector<std::string>{"alice", "bob", "carol"}));
  EXPECT_TRUE(result.AllValid());

  // The old records swapped, positions put right: version 1 alone would not
  // notice, the newer record's link does.
  std::string first = old.substr(1000, kRecord), second = old.substr(1000 + kRecord, kRecord);
  std::swap(first[1], second[1]);
  WriteFile(Path("swapped"), Pattern(1000) + second + first + mixed.substr(old.size()));
  EXPECT_EQ(Check(Path("swapped")).code, 42);
  // Nothing of version 1 may follow version 2.
  std::string again = old.substr(1000, kRecord);
  again[1] = 4;
  WriteFile(Path("appended"), mixed + again);
  EXPECT_EQ(Check(Path("appended")).code, 42);

  ASSERT_EQ(DelSign(Path("signed").c_str(), 1), 0);
  EXPECT_EQ(ReadFile(Path("signed")), old);
}

// What FORMAT.md says version 1 does not guarantee, and still does not.
TEST_F(CompatibilityTest, Version1RecordsMayStillBeCopiedOrReordered) {
  const std::string old = Vector("signed");
  std::string copy = old.substr(1000 + kRecord, kRecord);
  copy[1] = 3;
  WriteFile(Path("copied"), old + copy);
  CheckResult copied = Check(Path("copied"));
  EXPECT_EQ(copied.ids, (std::vector<std::string>{"alice", "bob", "bob"}));
  EXPECT_TRUE(copied.AllValid());

  std::string first = old.substr(1000, kRecord), second = old.substr(1000 + kRecord, kRecord);
  std::swap(first[1], second[1]);
  WriteFile(Path("swapped"), Pattern(1000) + second + first);
  CheckResult swapped = Check(Path("swapped"));
  EXPECT_EQ(swapped.ids, (std::vector<std::string>{"bob", "alice"}));
  EXPECT_TRUE(swapped.AllValid());
}

TEST_F(CompatibilityTest, AFileWrittenNowCarriesTheDocumentedCommitmentAndSeals) {
  const std::string plain = RandomText(4 * 64 * 1024 + 3);
  WriteFile(Path("plain"), plain);
  std::vector<unsigned char> bob = Block("bob"), carol = Block("carol");
  const void* blocks[] = {bob.data(), carol.data()};
  ASSERT_EQ(EnCryptFileEx(Path("plain").c_str(), Path("sealed").c_str(), "alice", blocks, 2, 0), 0);
  const std::string sealed = ReadFile(Path("sealed"));
  ASSERT_EQ(sealed[8], 2);

  // Bob's part, worked out from the layout alone.
  orlak::MemorySource source(sealed.data(), sealed.size());
  orlak::EncLayout layout;
  ASSERT_EQ(orlak::ParseEncryptedFile(source, layout), orlak::kOk);
  ASSERT_EQ(layout.headerBytes.size(), 150u + 2 * 118 + 32);
  orlak::SecretKey bobKey;
  orlak::PublicKey aliceKey;
  ASSERT_EQ(orlak::LoadSecretKey(platform::Cp1251ToUtf8(secret_), "bob", bobKey), 0);
  ASSERT_EQ(orlak::LoadPublicKey(platform::Cp1251ToUtf8(public_), "alice", aliceKey), 0);
  orlak::PairKeys keys;
  ASSERT_EQ(orlak::DerivePairKeys(2, bobKey.boxSk(), aliceKey.boxPk, aliceKey.boxPk,
                                  bobKey.pub.boxPk, layout.header.salt, 0, keys),
            0);
  unsigned char ad[orlak::kWrapAssociatedDataSize];
  orlak::WrapAssociatedData(layout.headerBytes.data(),
                            layout.headerBytes.data() + orlak::kHeaderFixedSize, ad);
  unsigned char fileKey[32];
  ASSERT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(
                fileKey, nullptr, nullptr, layout.header.receivers[0].wrappedKey, 48, ad, sizeof ad,
                layout.header.receivers[0].nonce, keys.wrap()),
            0);
  EXPECT_TRUE(
      orlak::FileKeys(fileKey).Commits(layout.headerBytes.data(), layout.headerBytes.size()));
  unsigned char headerDigest[32], digest[32], seal[16];
  crypto_generichash(headerDigest, 32, layout.headerBytes.data(), layout.headerBytes.size(),
                     nullptr, 0);
  orlak::PayloadDigest payload(headerDigest);
  const auto* bytes = reinterpret_cast<const unsigned char*>(sealed.data());
  for (uint64_t at = 0; at < layout.payloadLength; at += orlak::kSealedChunkSize)
    payload.AddChunk(bytes + layout.payloadOffset + at,
                     std::min<uint64_t>(orlak::kSealedChunkSize, layout.payloadLength - at));
  payload.Finish(bytes + layout.trailerOffset, digest);
  orlak::SealDigest(keys.seal(), digest, seal);
  EXPECT_EQ(std::memcmp(seal, bytes + layout.trailerOffset + 8, 16), 0);
}

TEST_F(CompatibilityTest, HandMadeFilesOfBothVersionsDecrypt) {
  orlak::SecretKey alice;
  ASSERT_EQ(orlak::LoadSecretKey(platform::Cp1251ToUtf8(secret_), "alice", alice), 0);
  orlak::PublicKey bob, carol;
  ASSERT_EQ(orlak::LoadPublicKey(platform::Cp1251ToUtf8(public_), "bob", bob), 0);
  ASSERT_EQ(orlak::LoadPublicKey(platform::Cp1251ToUtf8(public_), "carol", carol), 0);
  for (unsigned char version : {1, 2}) {
    for (size_t size : {size_t{0}, size_t{100}, 3 * size_t{64 * 1024} + 9}) {
      SCOPED_TRACE(std::to_string(version) + " " + std::to_string(size));
      const std::string plain = RandomText(size);
      const std::string file = HandMadeFile(version, alice, {bob, carol}, plain);
      for (const char* receiver : {"bob", "carol"}) {
        ASSERT_EQ(Decrypt(file, receiver), 0) << receiver;
        EXPECT_TRUE(ReadFile(Path("out")) == plain);
      }
    }
  }
}

}  // namespace
}  // namespace orlak_test
