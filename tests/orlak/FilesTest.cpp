// The library's file access: reads served from the block read and the
// read-ahead give the file's bytes whatever the order of the asks, and
// gathered writes give the target exactly the bytes written.
#include <gtest/gtest.h>

#include <random>

#include "Codes.h"
#include "Files.h"
#include "LibraryFixture.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class FilesTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Sub(name); }
  testing_support::TempDir dir_;
};

TEST_F(FilesTest, MixedReadsOfSmallAndLargeFilesGiveTheFilesBytes) {
  std::mt19937 random(7);
  // Within one block, just over it, and over several read-aheads.
  for (size_t size : {size_t{4096}, size_t{32 * 1024 + 17}, size_t{700 * 1024 + 3}}) {
    SCOPED_TRACE(size);
    const std::string content = orlak_test::RandomText(size);
    WriteFile(Path("in"), content);
    orlak::InputFile in;
    ASSERT_EQ(in.Open(Path("in")), orlak::kOk);
    std::string read;
    char piece[70000];
    while (read.size() < size) {
      // A look at some header between the sequential reads, as RNP's and ours interleave.
      const uint64_t at = random() % size;
      char look[6] = {};
      const size_t n = std::min<uint64_t>(sizeof look, size - at);
      ASSERT_TRUE(in.ReadAt(at, look, n));
      ASSERT_EQ(std::string(look, n), content.substr(at, n));
      const size_t want = 1 + random() % sizeof piece;
      const ssize_t got = in.Read(piece, want);
      ASSERT_GT(got, 0);
      ASSERT_EQ(static_cast<size_t>(got), std::min(want, size - read.size()));
      read.append(piece, static_cast<size_t>(got));
    }
    EXPECT_EQ(in.Read(piece, 10), 0);
    EXPECT_TRUE(read == content);
    // From the start again, in one read longer than the read-ahead.
    ASSERT_TRUE(in.Seek(0));
    std::string whole(size + 10, '\0');
    ASSERT_EQ(in.Read(whole.data(), whole.size()), static_cast<ssize_t>(size));
    EXPECT_TRUE(whole.substr(0, size) == content);
  }
}

TEST_F(FilesTest, AFileIsReadAsLongAsItWasWhenOpened) {
  WriteFile(Path("in"), std::string(100, 'a'));
  orlak::InputFile in;
  ASSERT_EQ(in.Open(Path("in")), orlak::kOk);
  WriteFile(Path("in"), std::string(200, 'b'));  // rewritten in place, longer
  char buffer[300];
  EXPECT_EQ(in.Read(buffer, sizeof buffer), 100);
}

TEST_F(FilesTest, GatheredWritesGiveTheTargetTheBytesOnlyWhenCommitted) {
  const std::string content = orlak_test::RandomText(600 * 1024 + 5);
  std::mt19937 random(11);
  {
    orlak::OutputFile out;
    ASSERT_EQ(out.Create(Path("dropped"), 0600), orlak::kOk);
    ASSERT_EQ(out.Write(content.data(), 1000), orlak::kOk);
  }
  EXPECT_FALSE(testing_support::FileExists(Path("dropped")));

  orlak::OutputFile out;
  ASSERT_EQ(out.Create(Path("out"), 0600), orlak::kOk);
  for (size_t at = 0; at < content.size();) {
    // Small pieces, and now and then one larger than the gathering.
    const size_t n =
        std::min(content.size() - at, random() % 5 == 0 ? size_t{300000} : 1 + random() % 9000);
    ASSERT_EQ(out.Write(content.data() + at, n), orlak::kOk);
    at += n;
  }
  ASSERT_EQ(out.Commit(), orlak::kOk);
  EXPECT_TRUE(ReadFile(Path("out")) == content);
}

}  // namespace
