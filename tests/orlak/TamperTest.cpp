// Damage of every kind to signed and encrypted files: flipped bits in each
// region, truncation and appended bytes. None may pass as intact, and a
// refused decryption leaves no output.
#include "LibraryFixture.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr size_t kSealedChunk = kChunk + 17;
constexpr size_t kHeaderFixed = 150;
constexpr size_t kEntry = 118;
constexpr size_t kCommitment = 32;
// Where the payload of a file written now (version 2) starts.
constexpr size_t PayloadAt(size_t receivers) {
  return kHeaderFixed + receivers * kEntry + kCommitment;
}

class TamperTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    alice_ = Block("alice");
  }
  std::string Seal(const std::string& plain, const std::vector<std::string>& receivers) {
    WriteFile(Path("plain"), plain);
    std::vector<std::vector<unsigned char>> blocks;
    std::vector<const void*> pointers;
    for (const std::string& id : receivers) blocks.push_back(Block(id));
    for (const auto& block : blocks) pointers.push_back(block.data());
    EXPECT_EQ(EnCryptFileEx(Path("plain").c_str(), Path("sealed").c_str(), "alice", pointers.data(),
                            static_cast<uint16_t>(pointers.size()), 0),
              0);
    return ReadFile(Path("sealed"));
  }
  // Decrypts bytes as receiver; the output must exist exactly on success.
  uint16_t Open(const std::string& bytes, const char* receiver) {
    WriteFile(Path("damaged"), bytes);
    std::remove(Path("opened").c_str());
    uint16_t code =
        DeCryptFileEx(Path("damaged").c_str(), Path("opened").c_str(), receiver, alice_.data());
    EXPECT_EQ(FileExists(Path("opened")), code == 0);
    return code;
  }
  std::vector<unsigned char> alice_;
};

TEST_F(TamperTest, AnyFlippedBitOfASignedFileIsNoticed) {
  const std::string content = RandomText(300);
  WriteFile(Path("content"), content);
  ASSERT_EQ(SignFile(Path("content").c_str(), Path("once").c_str(), "alice"), 0);
  ASSERT_EQ(SignFile(Path("once").c_str(), Path("twice").c_str(), "bob"), 0);
  const std::string good = ReadFile(Path("twice"));
  ASSERT_TRUE(Check(Path("twice")).AllValid());
  // Content, both records (version, position, identifier, length, signature,
  // reserved bytes, mark): every byte, with a low and a high bit.
  for (size_t at = 0; at < good.size(); ++at) {
    for (unsigned char mask : {0x01, 0x80}) {
      WriteFile(Path("damaged"), Flipped(good, at, mask));
      EXPECT_FALSE(Check(Path("damaged")).AllValid()) << "byte " << at << " mask " << int(mask);
    }
  }
}

TEST_F(TamperTest, CuttingOrExtendingASignedFileIsNoticed) {
  WriteFile(Path("content"), RandomText(1000));
  ASSERT_EQ(SignFile(Path("content").c_str(), Path("signed").c_str(), "alice"), 0);
  const std::string good = ReadFile(Path("signed"));
  for (size_t cut : {size_t{1}, size_t{8}, size_t{50}, size_t{104}, size_t{105}}) {
    WriteFile(Path("damaged"), good.substr(0, good.size() - cut));
    EXPECT_FALSE(Check(Path("damaged")).AllValid()) << "cut " << cut;
  }
  WriteFile(Path("damaged"), "x" + good);  // one byte more in front
  EXPECT_FALSE(Check(Path("damaged")).AllValid());
  WriteFile(Path("damaged"), good + good.substr(good.size() - 104));  // a record twice
  EXPECT_EQ(Check(Path("damaged")).code, 42);
}

TEST_F(TamperTest, AnyFlippedBitOfAnEncryptedFileIsNoticedByEveryReceiverItConcerns) {
  const std::vector<std::string> receivers = {"bob", "carol"};
  const std::string good = Seal(RandomText(100), receivers);
  const size_t trailerStart = good.size() - (8 + 16 * receivers.size() + 8);
  ASSERT_EQ(Open(good, "bob"), 0);
  for (size_t at = 0; at < good.size(); ++at) {
    const std::string bad = Flipped(good, at, at % 2 ? 0x80 : 0x01);
    for (size_t r = 0; r < receivers.size(); ++r) {
      // The seals of other receivers are theirs alone to check.
      const size_t ownSeal = trailerStart + 8 + 16 * r;
      const bool otherSeal = at >= trailerStart + 8 && at < trailerStart + 8 + 32 &&
                             !(at >= ownSeal && at < ownSeal + 16);
      uint16_t code = Open(bad, receivers[r].c_str());
      if (otherSeal)
        EXPECT_EQ(code, 0) << "byte " << at << " " << receivers[r];
      else
        EXPECT_NE(code, 0) << "byte " << at << " " << receivers[r];
    }
  }
}

TEST_F(TamperTest, FlippedBitsAcrossChunksAreNoticed) {
  const std::string good = Seal(RandomText(2 * kChunk + 500), {"bob"});
  const size_t payload = PayloadAt(1);
  const size_t positions[] = {payload,
                              payload + kSealedChunk - 1,
                              payload + kSealedChunk,
                              payload + kSealedChunk + kChunk / 2,
                              payload + 2 * kSealedChunk,
                              good.size() - 33,
                              good.size() - 20,
                              good.size() - 1};
  for (size_t at : positions) EXPECT_NE(Open(Flipped(good, at), "bob"), 0) << "byte " << at;
}

TEST_F(TamperTest, TruncationAtAndBetweenChunkBoundariesIsAWrongLength) {
  const std::string good = Seal(RandomText(3 * kChunk), {"bob", "carol"});
  const size_t payload = PayloadAt(2);
  const size_t cuts[] = {1,
                         10,
                         payload - 1,
                         payload,
                         payload + 17,
                         payload + kSealedChunk,
                         payload + kSealedChunk + 1,
                         payload + 2 * kSealedChunk,
                         payload + 3 * kSealedChunk - 1,
                         payload + 3 * kSealedChunk,
                         good.size() - 8,
                         good.size() - 1};
  for (size_t keep : cuts) EXPECT_EQ(Open(good.substr(0, keep), "bob"), 26) << "kept " << keep;
}

TEST_F(TamperTest, DataAfterTheEndIsAWrongLength) {
  const std::string good = Seal(RandomText(kChunk + 10), {"bob"});
  EXPECT_EQ(Open(good + "x", "bob"), 26);
  EXPECT_EQ(Open(good + RandomText(kChunk), "bob"), 26);
  EXPECT_EQ(Open(good + good, "bob"), 26);
  // A trailer copied after the file: the mark is there but the length is not.
  EXPECT_EQ(Open(good + good.substr(good.size() - 32), "bob"), 26);
}

TEST_F(TamperTest, ChunksCannotBeDroppedOrReordered) {
  const std::string good = Seal(RandomText(3 * kChunk + 5), {"bob"});
  const size_t payload = PayloadAt(1);
  const std::string header = good.substr(0, payload);
  std::string chunks[4];
  for (int i = 0; i < 4; ++i)
    chunks[i] = good.substr(payload + i * kSealedChunk, i < 3 ? kSealedChunk : 22);
  const std::string trailer = good.substr(payload + 3 * kSealedChunk + 22);
  ASSERT_EQ(header + chunks[0] + chunks[1] + chunks[2] + chunks[3] + trailer, good);
  // Swapped chunks keep every length; the trailer's length is patched for the
  // dropped one so that only the stream itself can object.
  EXPECT_EQ(Open(header + chunks[1] + chunks[0] + chunks[2] + chunks[3] + trailer, "bob"), 4);
  std::string shorter = trailer;
  uint64_t length = 2 * kSealedChunk + 22;
  for (int i = 0; i < 8; ++i) shorter[i] = static_cast<char>(length >> (8 * i));
  EXPECT_EQ(Open(header + chunks[0] + chunks[2] + chunks[3] + shorter, "bob"), 4);
}

}  // namespace
}  // namespace orlak_test
