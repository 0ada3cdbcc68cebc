// The digest made from a copy's buffers: whatever the file's size (hashed on
// the copy's thread, or on a second one fed buffer after buffer), it is the
// digest of the bytes copied, for a copy into a private working file as for
// a delivery.
#include <gtest/gtest.h>

#include <algorithm>
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

// Beyond one buffer, then beyond all of them: the copy waits for the hasher.
constexpr size_t kSizes[] = {0,
                             4096,
                             TDigestTap::kBufferSize - 1,
                             TDigestTap::kBufferSize,
                             TDigestTap::kBufferSize + 1,
                             TDigestTap::kBufferSize*(TDigestTap::kBuffers * 3) + 7};

TEST(DigestTap, CopiesOfEverySizeGiveTheDigestOfTheBytesCopied) {
  testing_support::TempDir dir;
  TDigestTap tap;  // one tap for all, as a pass uses it file after file
  for (const size_t size : kSizes) {
    SCOPED_TRACE(size);
    const std::string bytes = Bytes(size);
    const std::string source = dir.Path() + "source";
    testing_support::WriteFile(source, bytes);

    // Into a working file.
    const std::string work = dir.Path() + "work";
    platform::CopyOptions taking;
    taking.privateTarget = true;
    taking.tap = &tap;
    tap.Start();
    ASSERT_EQ(platform::CopyFile(source, work, taking), 0);
    std::string hex;
    uint64_t hashed = 0;
    ASSERT_TRUE(tap.Finish(hex, hashed));
    EXPECT_EQ(hex, Sha256Hex(bytes));
    EXPECT_EQ(hashed, size);
    EXPECT_EQ(testing_support::ReadFile(work), bytes);

    // A delivery from the working file (a new file that takes its name whole).
    const std::string target = dir.Path() + "target";
    platform::CopyOptions delivering;
    delivering.tap = &tap;
    tap.Start();
    ASSERT_EQ(platform::CopyFile(work, target, delivering), 0);
    ASSERT_TRUE(tap.Finish(hex, hashed));
    EXPECT_EQ(hex, Sha256Hex(bytes));
    EXPECT_EQ(hashed, size);
    EXPECT_EQ(testing_support::ReadFile(target), bytes);
  }
}

TEST(DigestTap, ACopyCutShortLeavesNothingInTheNextDigest) {
  const std::string bytes = Bytes((size_t{2} << 20) + 3);
  TDigestTap tap;
  // The first copy read three buffers, then failed: its hasher is left running.
  tap.Start();
  for (int i = 0; i < 3; ++i) {
    const std::span<char> buffer = tap.Buffer();
    std::fill(buffer.begin(), buffer.end(), 'x');
    tap.Read(buffer.size());
  }
  tap.Start();
  for (size_t at = 0; at < bytes.size();) {
    const std::span<char> buffer = tap.Buffer();
    const size_t count = std::min(buffer.size(), bytes.size() - at);
    std::copy_n(bytes.data() + at, count, buffer.data());
    tap.Read(count);
    at += count;
  }
  std::string hex;
  uint64_t hashed = 0;
  ASSERT_TRUE(tap.Finish(hex, hashed));
  EXPECT_EQ(hex, Sha256Hex(bytes));
  EXPECT_EQ(hashed, bytes.size());
}

}  // namespace
