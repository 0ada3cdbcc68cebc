// The digest made beside a copy: whatever the file's size (held whole in
// the tap's buffer, or read back from the working file by a second thread
// piece by piece as the kernel copies it), it is the digest of the bytes
// copied, for a copy into a private working file as for a delivery.
#include <gtest/gtest.h>

#include <string>

#include "history/DigestTap.h"
#include "history/Sha256.h"
#include "platform/Files.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Bytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) ^ (i >> 13));
  return bytes;
}

constexpr size_t kSizes[] = {0, 4096, TDigestTap::kBufferSize, TDigestTap::kBufferSize + 1,
                             (size_t{3} << 23) + 7};  // more than three of the copy's pieces

TEST(DigestTap, CopiesOfEverySizeGiveTheDigestOfTheBytesCopied) {
  testing_support::TempDir dir;
  TDigestTap tap;  // one tap for all, as a pass uses it file after file
  for (const size_t size : kSizes) {
    SCOPED_TRACE(size);
    const std::string bytes = Bytes(size);
    const std::string source = dir.Path() + "source";
    testing_support::WriteFile(source, bytes);

    // Into a working file: the tap reads the copy's target.
    const std::string work = dir.Path() + "work";
    platform::CopyOptions taking;
    taking.privateTarget = true;
    taking.tap = &tap;
    tap.Start(work);
    ASSERT_EQ(platform::CopyFile(source, work, taking), 0);
    std::string hex;
    uint64_t hashed = 0;
    ASSERT_TRUE(tap.Finish(hex, hashed));
    EXPECT_EQ(hex, Sha256Hex(bytes));
    EXPECT_EQ(hashed, size);
    EXPECT_EQ(testing_support::ReadFile(work), bytes);

    // A delivery from the working file: the tap reads the copy's source.
    const std::string target = dir.Path() + "target";
    platform::CopyOptions delivering;
    delivering.tap = &tap;
    tap.Start(work);
    ASSERT_EQ(platform::CopyFile(work, target, delivering), 0);
    ASSERT_TRUE(tap.Finish(hex, hashed));
    EXPECT_EQ(hex, Sha256Hex(bytes));
    EXPECT_EQ(hashed, size);
    EXPECT_EQ(testing_support::ReadFile(target), bytes);
  }
}

TEST(DigestTap, ACopyCutShortLeavesNothingInTheNextDigestAndAnUnreadableFileNone) {
  testing_support::TempDir dir;
  const std::string first = dir.Path() + "first", second = dir.Path() + "second";
  const std::string bytes = Bytes((size_t{2} << 20) + 3);
  testing_support::WriteFile(first, Bytes(size_t{3} << 20));
  testing_support::WriteFile(second, bytes);
  TDigestTap tap;
  // The first copy told a piece, then failed: its hasher is left running.
  tap.Start(first);
  tap.Copied(size_t{1} << 20);
  tap.Start(second);
  tap.Copied(bytes.size() / 2);
  tap.Copied(bytes.size());
  std::string hex;
  uint64_t hashed = 0;
  ASSERT_TRUE(tap.Finish(hex, hashed));
  EXPECT_EQ(hex, Sha256Hex(bytes));
  EXPECT_EQ(hashed, bytes.size());

  // A file gone before it could be read gives no digest rather than a wrong one.
  tap.Start(dir.Path() + "missing");
  tap.Copied(bytes.size());
  EXPECT_FALSE(tap.Finish(hex, hashed));
}

}  // namespace
