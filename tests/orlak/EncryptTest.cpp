// Encryption for several receivers and decryption through the C interface:
// round trips and the code of every refusal.
#include <sys/stat.h>

#include "Files.h"
#include "LibraryFixture.h"
#include "platform/Cp1251.h"
#include "platform/Durable.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

class EncryptTest : public LibraryTest {
 protected:
  uint16_t Encrypt(const std::string& in, const std::string& out, const char* sender,
                   const std::vector<std::string>& receivers) {
    std::vector<std::vector<unsigned char>> blocks;
    for (const std::string& id : receivers) blocks.push_back(Block(id));
    std::vector<const void*> pointers;
    for (const auto& block : blocks) pointers.push_back(block.data());
    return EnCryptFileEx(in.c_str(), out.c_str(), sender, pointers.data(),
                         static_cast<uint16_t>(pointers.size()), 0);
  }
  uint16_t Decrypt(const std::string& in, const std::string& out, const char* receiver,
                   const char* sender) {
    std::vector<unsigned char> block = Block(sender);
    return DeCryptFileEx(in.c_str(), out.c_str(), receiver, block.data());
  }
};

TEST_F(EncryptTest, RoundTripsAtChunkBoundariesForOneAndSeveralReceivers) {
  const size_t sizes[] = {0, 1, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 17};
  const std::vector<std::vector<std::string>> receiverSets = {{"bob"}, {"bob", "carol", "dave"}};
  for (size_t size : sizes) {
    const std::string plain = RandomText(size);
    WriteFile(Path("plain"), plain);
    for (const auto& receivers : receiverSets) {
      SCOPED_TRACE("size " + std::to_string(size) + ", " + std::to_string(receivers.size()) +
                   " receivers");
      ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", receivers), 0);
      const std::string sealed = ReadFile(Path("sealed"));
      if (size >= 16) {
        EXPECT_EQ(sealed.find(plain.substr(0, 16)), std::string::npos);
      }
      for (const std::string& receiver : receivers) {
        ASSERT_EQ(Decrypt(Path("sealed"), Path("opened"), receiver.c_str(), "alice"), 0);
        EXPECT_EQ(ReadFile(Path("opened")), plain) << receiver;
      }
    }
  }
}

TEST_F(EncryptTest, EveryFileGetsAFreshKey) {
  WriteFile(Path("plain"), "same text");
  ASSERT_EQ(Encrypt(Path("plain"), Path("one"), "alice", {"bob"}), 0);
  ASSERT_EQ(Encrypt(Path("plain"), Path("two"), "alice", {"bob"}), 0);
  const std::string one = ReadFile(Path("one")), two = ReadFile(Path("two"));
  ASSERT_EQ(one.size(), two.size());
  // Only the mark, version, count and sender part of the header may agree.
  EXPECT_NE(one.substr(16, 56), two.substr(16, 56));
  EXPECT_NE(one.substr(one.size() - 60), two.substr(two.size() - 60));
}

TEST_F(EncryptTest, SenderMayBeAReceiverAndReceiversMayRepeat) {
  WriteFile(Path("plain"), "to myself");
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", {"alice", "bob", "bob"}), 0);
  for (const char* receiver : {"alice", "bob"}) {
    ASSERT_EQ(Decrypt(Path("sealed"), Path("opened"), receiver, "alice"), 0);
    EXPECT_EQ(ReadFile(Path("opened")), "to myself");
  }
}

TEST_F(EncryptTest, OnlyAddressedReceiversFromTheNamedSenderDecrypt) {
  WriteFile(Path("plain"), "for bob and carol");
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", {"bob", "carol"}), 0);
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "dave", "alice"), 129);
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "alice", "alice"), 129);
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "bob", "dave"), 125);
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "bob", "carol"), 125);
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "nobody", "alice"), 6);
  EXPECT_FALSE(FileExists(Path("out")));
}

TEST_F(EncryptTest, ReplacedKeysAreNoLongerTheSameKeys) {
  WriteFile(Path("plain"), "before the new keys");
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", {"bob"}), 0);
  std::vector<unsigned char> oldAlice = Block("alice");
  // Both keys are made anew under their old names.
  for (const char* id : {"alice", "bob"}) {
    std::remove((secret_ + id + ".sec").c_str());
    std::remove((public_ + id + ".pub").c_str());
    MakeKey(secret_, public_, id);
  }
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "bob", "alice"), 125);  // other alice
  EXPECT_EQ(DeCryptFileEx(Path("sealed").c_str(), Path("out").c_str(), "bob", oldAlice.data()),
            129);  // bob's new key was not a receiver
  EXPECT_FALSE(FileExists(Path("out")));
}

TEST_F(EncryptTest, FilesThatAreNotEncryptedOrAreCutHaveTheirCodes) {
  WriteFile(Path("empty"), "");
  WriteFile(Path("text"), "just some text that is longer than a header might be");
  WriteFile(Path("short-mark"), "ORLAK");
  WriteFile(Path("mark-only"), "ORLAKENC");
  EXPECT_EQ(Decrypt(Path("empty"), Path("out"), "bob", "alice"), 26);
  EXPECT_EQ(Decrypt(Path("text"), Path("out"), "bob", "alice"), 29);
  EXPECT_EQ(Decrypt(Path("short-mark"), Path("out"), "bob", "alice"), 26);
  EXPECT_EQ(Decrypt(Path("mark-only"), Path("out"), "bob", "alice"), 26);
  EXPECT_EQ(Decrypt(Path("missing"), Path("out"), "bob", "alice"), 21);
  ASSERT_EQ(SignFile(Path("text").c_str(), Path("signed").c_str(), "alice"), 0);
  EXPECT_EQ(Decrypt(Path("signed"), Path("out"), "bob", "alice"), 29);

  WriteFile(Path("plain"), "x");
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", {"bob"}), 0);
  std::string future = ReadFile(Path("sealed"));
  ASSERT_EQ(future[8], 2);  // written now: version 2
  future[8] = 3;            // a later format version
  WriteFile(Path("future"), future);
  EXPECT_EQ(Decrypt(Path("future"), Path("out"), "bob", "alice"), 42);
  EXPECT_FALSE(FileExists(Path("out")));
}

TEST_F(EncryptTest, BadReceiverListsAndKeyBlocksProduceNothing) {
  WriteFile(Path("plain"), "data");
  const std::string in = Path("plain"), out = Path("sealed");
  std::vector<unsigned char> bob = Block("bob");
  std::vector<unsigned char> zero(ORLAK_KEY_BLOCK_SIZE, 0);
  std::vector<unsigned char> damaged = bob;
  damaged[40] ^= 0x10;
  const void* good[] = {bob.data()};
  const void* withNull[] = {bob.data(), nullptr};
  const void* withZero[] = {bob.data(), zero.data()};
  const void* withDamaged[] = {damaged.data()};
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", good, 0, 0), 7);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", nullptr, 1, 0), 7);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", withNull, 2, 0), 7);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", good, 1, 1), 7);
  const std::vector<const void*> tooMany(4097, bob.data());
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", tooMany.data(), 4097, 0), 7);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", withZero, 2, 0), 121);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", withDamaged, 1, 0), 121);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "nobody", good, 1, 0), 6);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "a:b", good, 1, 0), 7);
  EXPECT_EQ(EnCryptFileEx(Path("missing").c_str(), out.c_str(), "alice", good, 1, 0), 21);
  EXPECT_EQ(EnCryptFileEx(in.c_str(), (dir_.Path() + "none/x").c_str(), "alice", good, 1, 0), 22);
  EXPECT_FALSE(FileExists(out));
  EXPECT_EQ(Leftovers(dir_.Path(), {"plain", "public", "secret"}), std::vector<std::string>{});

  ASSERT_EQ(EnCryptFileEx(in.c_str(), out.c_str(), "alice", good, 1, 0), 0);
  std::vector<unsigned char> alice = Block("alice");
  EXPECT_EQ(DeCryptFileEx(out.c_str(), Path("opened").c_str(), "bob", nullptr), 7);
  EXPECT_EQ(DeCryptFileEx(out.c_str(), Path("opened").c_str(), "bob", zero.data()), 121);
  alice[200] = 1;  // padding
  EXPECT_EQ(DeCryptFileEx(out.c_str(), Path("opened").c_str(), "bob", alice.data()), 121);
  EXPECT_FALSE(FileExists(Path("opened")));
}

TEST_F(EncryptTest, DamagedSecretKeyFileIsRefused) {
  WriteFile(Path("plain"), "data");
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", {"bob"}), 0);
  const std::string key = secret_ + "bob.sec";
  WriteFile(key, Flipped(ReadFile(key), 60));
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "bob", "alice"), 4099);
  EXPECT_FALSE(FileExists(Path("out")));
}

TEST_F(EncryptTest, ASecretKeyOthersMayReadIsRefusedByEveryOperation) {
  WriteFile(Path("plain"), "data");
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", {"bob"}), 0);
  const std::string key = platform::Cp1251ToUtf8(secret_ + "bob.sec");
  ASSERT_EQ(::chmod(key.c_str(), 0644), 0);
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "bob", "alice"), 4099);
  EXPECT_EQ(Encrypt(Path("plain"), Path("out"), "bob", {"alice"}), 4099);
  EXPECT_EQ(SignFile(Path("plain").c_str(), Path("out").c_str(), "bob"), 4099);
  EXPECT_FALSE(FileExists(Path("out")));
  ASSERT_EQ(::chmod(key.c_str(), 0600), 0);
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "bob", "alice"), 0);
}

TEST_F(EncryptTest, DecryptionReplacesAnExistingOutputOnlyOnSuccess) {
  WriteFile(Path("plain"), "new content");
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed"), "alice", {"bob"}), 0);
  WriteFile(Path("out"), "old content");
  EXPECT_EQ(Decrypt(Path("sealed"), Path("out"), "carol", "alice"), 129);
  EXPECT_EQ(ReadFile(Path("out")), "old content");
  ASSERT_EQ(Decrypt(Path("sealed"), Path("out"), "bob", "alice"), 0);
  EXPECT_EQ(ReadFile(Path("out")), "new content");
  // A folder in the output's place: the rename fails and nothing is left.
  const std::string folder = dir_.Sub("folder/");
  EXPECT_EQ(Decrypt(Path("sealed"), folder.substr(0, folder.size() - 1), "bob", "alice"), 25);
  EXPECT_EQ(testing_support::ListNames(folder), std::vector<std::string>{});
  EXPECT_EQ(Leftovers(dir_.Path(), {"folder", "out", "plain", "public", "sealed", "secret"}),
            std::vector<std::string>{});
  // In place, as a step may hand the same path.
  ASSERT_EQ(Encrypt(Path("out"), Path("out"), "alice", {"bob"}), 0);
  ASSERT_EQ(Decrypt(Path("out"), Path("out"), "bob", "alice"), 0);
  EXPECT_EQ(ReadFile(Path("out")), "new content");
}

TEST_F(EncryptTest, OutputsMayHaveNamesOfTheLongestLength) {
  // 255 bytes on the disk: Latin letters, and "a" then 127 Cyrillic letters
  // of two UTF-8 bytes each, so that a cut name must step back a byte.
  const std::vector<std::string> names = {std::string(255, 'x'), "a" + std::string(127, '\xC6')};
  WriteFile(Path("plain"), "long names");
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size());
    ASSERT_EQ(SignFile(Path("plain").c_str(), Path(name).c_str(), "alice"), 0);
    EXPECT_TRUE(Check(Path(name)).AllValid());
    ASSERT_EQ(Encrypt(Path(name), Path(name), "alice", {"bob"}), 0);
    ASSERT_EQ(Decrypt(Path(name), Path(name), "bob", "alice"), 0);
    ASSERT_EQ(DelSign(Path(name).c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
    EXPECT_EQ(ReadFile(Path(name)), "long names");
    EXPECT_EQ(Leftovers(dir_.Path(), {"plain", "public", "secret", names[0], names[1]}),
              std::vector<std::string>{});
  }
}

TEST(SideNameTest, SideNamesFitAndKeepWholeCharacters) {
  const std::string folder = "/some/folder/";
  std::string cyrillic = "a";
  for (int i = 0; i < 127; ++i) cyrillic += "\xD0\x96";  // U+0416 in UTF-8
  for (const std::string& name : {std::string("short"), std::string(255, 'x'), cyrillic}) {
    const std::string side = platform::SideNameFor(folder + name);
    ASSERT_EQ(side.compare(0, folder.size(), folder), 0);
    const std::string sideName = side.substr(folder.size());
    EXPECT_LE(sideName.size(), 255u);
    EXPECT_TRUE(platform::Utf8ToCp1251(sideName).has_value()) << sideName;
    EXPECT_TRUE(platform::IsSideName(sideName));
    const std::string kept = sideName.substr(1, sideName.size() - 19);
    EXPECT_EQ(name.compare(0, kept.size(), kept), 0);
  }
  EXPECT_NE(platform::SideNameFor("f"), platform::SideNameFor("f"));
  EXPECT_FALSE(platform::IsSideName("pay.txt"));
  EXPECT_FALSE(platform::IsSideName(".pay.txt.~0123456789abcdeg"));
  EXPECT_FALSE(platform::IsSideName("pay.txt.~0123456789abcdef"));
}

TEST_F(EncryptTest, CyrillicPathsAndIdentifiers) {
  const std::string secret = dir_.Sub("Секретные/"), pub = dir_.Sub("Открытые/");
  for (const char* id : {"Отправитель", "Получатель-1"}) MakeKey(secret, pub, id);
  ASSERT_EQ(CryptoInit(secret.c_str(), pub.c_str()), 0);
  std::vector<unsigned char> from(ORLAK_KEY_BLOCK_SIZE), to(ORLAK_KEY_BLOCK_SIZE);
  ASSERT_EQ(ExtractKey(pub.c_str(), "Отправитель", from.data()), 0);
  ASSERT_EQ(ExtractKey(pub.c_str(), "Получатель-1", to.data()), 0);
  const std::string in = dir_.Sub("Входящие/платёж.txt"), sealed = dir_.Sub("Исходящие/платёж.enc");
  WriteFile(in, "Оплата по счёту");
  const void* blocks[] = {to.data()};
  ASSERT_EQ(EnCryptFileEx(in.c_str(), sealed.c_str(), "Отправитель", blocks, 1, 0), 0);
  const std::string out = dir_.Sub("Исходящие/расшифрован.txt");
  ASSERT_EQ(DeCryptFileEx(sealed.c_str(), out.c_str(), "Получатель-1", from.data()), 0);
  EXPECT_EQ(ReadFile(out), "Оплата по счёту");
}

}  // namespace
}  // namespace orlak_test
