// Files large enough that writing runs on a thread of its own beside the
// hash or the cipher: round trips, damage found mid-stream, and writes that
// fail part-way. Also the hand-over itself: order, failure and early stop.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Codes.h"
#include "LibraryFixture.h"
#include "WriteBehind.h"
#include "platform/Cp1251.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr size_t kMiB = size_t{1} << 20;

class LargeFileTest : public LibraryTest {
 protected:
  uint16_t Encrypt(const std::string& in, const std::string& out) {
    std::vector<std::vector<unsigned char>> blocks = {Block("bob"), Block("carol"), Block("dave")};
    const void* pointers[] = {blocks[0].data(), blocks[1].data(), blocks[2].data()};
    return EnCryptFileEx(in.c_str(), out.c_str(), "alice", pointers, 3, 0);
  }
  uint16_t Decrypt(const std::string& in, const std::string& out, const char* receiver) {
    std::vector<unsigned char> alice = Block("alice");
    return DeCryptFileEx(in.c_str(), out.c_str(), receiver, alice.data());
  }
};

TEST_F(LargeFileTest, SignCheckUnsignEncryptDecryptRoundTrip) {
  for (size_t size : {kMiB, 3 * kMiB + 17}) {
    SCOPED_TRACE(size);
    const std::string plain = RandomText(size);
    WriteFile(Path("plain"), plain);

    ASSERT_EQ(SignFile(Path("plain").c_str(), Path("signed").c_str(), "alice"), 0);
    const std::string signedBytes = ReadFile(Path("signed"));
    ASSERT_GT(signedBytes.size(), size);
    EXPECT_EQ(signedBytes.substr(0, size), plain);
    CheckResult check = Check(Path("signed"));
    EXPECT_EQ(check.code, 0);
    EXPECT_TRUE(check.AllValid());
    EXPECT_EQ(DelSign(Path("signed").c_str(), 255), 0);
    EXPECT_EQ(ReadFile(Path("signed")), plain);

    ASSERT_EQ(Encrypt(Path("plain"), Path("sealed")), 0);
    for (const char* receiver : {"bob", "carol", "dave"}) {
      ASSERT_EQ(Decrypt(Path("sealed"), Path("opened"), receiver), 0) << receiver;
      EXPECT_TRUE(ReadFile(Path("opened")) == plain) << receiver;
    }
    EXPECT_EQ(Leftovers(dir_.Path(), {"opened", "plain", "public", "sealed", "secret", "signed"}),
              std::vector<std::string>{});
  }
}

TEST_F(LargeFileTest, DamageInTheMiddleOrInASealLeavesNoOutput) {
  WriteFile(Path("plain"), RandomText(4 * kMiB));
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed")), 0);
  const std::string sealed = ReadFile(Path("sealed"));
  // Bob's seal is the first after the trailer's length field; three receivers'
  // seals and the closing 8 bytes follow it.
  const size_t bobsSeal = sealed.size() - 8 - 3 * 16;
  for (size_t at : {2 * kMiB, bobsSeal, bobsSeal + 15}) {
    SCOPED_TRACE(at);
    WriteFile(Path("damaged"), Flipped(sealed, at));
    EXPECT_EQ(Decrypt(Path("damaged"), Path("opened"), "bob"), orlak::kAuthFailed);
    EXPECT_FALSE(FileExists(Path("opened")));
  }
  // Carol's seal is untouched by the last damage.
  EXPECT_EQ(Decrypt(Path("damaged"), Path("opened"), "carol"), 0);
  ::unlink(platform::Cp1251ToUtf8(Path("opened")).c_str());
  ::unlink(platform::Cp1251ToUtf8(Path("damaged")).c_str());
  EXPECT_EQ(Leftovers(dir_.Path(), {"plain", "public", "sealed", "secret"}),
            std::vector<std::string>{});
}

// The file-size limit makes every write past it fail with EFBIG.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  sighandler_t oldHandler_;
};

TEST_F(LargeFileTest, AWriteThatFailsPartWayEndsTheCallWithNothingLeft) {
  WriteFile(Path("plain"), RandomText(3 * kMiB));
  ASSERT_EQ(Encrypt(Path("plain"), Path("sealed")), 0);
  {
    FileSizeLimit limit(kMiB + 1000);
    EXPECT_EQ(SignFile(Path("plain").c_str(), Path("signed").c_str(), "alice"),
              orlak::kWriteFailed);
    EXPECT_EQ(Encrypt(Path("plain"), Path("sealed2")), orlak::kWriteFailed);
    EXPECT_EQ(Decrypt(Path("sealed"), Path("opened"), "bob"), orlak::kWriteFailed);
  }
  EXPECT_EQ(Leftovers(dir_.Path(), {"plain", "public", "sealed", "secret"}),
            std::vector<std::string>{});
  // Nothing stays stuck: the same calls succeed once there is room.
  EXPECT_EQ(Decrypt(Path("sealed"), Path("opened"), "bob"), 0);
  EXPECT_EQ(SignFile(Path("plain").c_str(), Path("signed").c_str(), "alice"), 0);
}

TEST(WriteBehindTest, BuffersReachTheConsumerInOrderThreadedOrNot) {
  for (bool threaded : {false, true}) {
    SCOPED_TRACE(threaded);
    std::vector<unsigned char> seen;
    orlak::WriteBehind sink(4, threaded, [&](const unsigned char* data, size_t size) {
      // A slow consumer, so the producer runs out of free buffers and waits.
      if (threaded) std::this_thread::sleep_for(std::chrono::microseconds(200));
      seen.insert(seen.end(), data, data + size);
      return static_cast<uint16_t>(orlak::kOk);
    });
    std::vector<unsigned char> expected;
    for (int i = 0; i < 200; ++i) {
      unsigned char* buffer = sink.Acquire();
      ASSERT_NE(buffer, nullptr);
      const size_t size = static_cast<size_t>(i % 5);  // empty buffers too
      for (size_t j = 0; j < size; ++j) buffer[j] = static_cast<unsigned char>(i + j);
      expected.insert(expected.end(), buffer, buffer + size);
      sink.Submit(size);
    }
    EXPECT_EQ(sink.Finish(), orlak::kOk);
    EXPECT_EQ(seen, expected);
  }
}

TEST(WriteBehindTest, TheFirstFailureStopsTheConsumerAndIsReported) {
  for (bool threaded : {false, true}) {
    SCOPED_TRACE(threaded);
    std::atomic<int> calls{0};
    orlak::WriteBehind sink(1, threaded, [&](const unsigned char*, size_t) {
      return static_cast<uint16_t>(++calls == 3 ? orlak::kWriteFailed : orlak::kOk);
    });
    int handed = 0;
    while (unsigned char* buffer = sink.Acquire()) {
      buffer[0] = 1;
      sink.Submit(1);
      ASSERT_LT(++handed, 1000) << "the producer is never told to stop";
    }
    EXPECT_EQ(sink.Finish(), orlak::kWriteFailed);
    EXPECT_EQ(calls, 3);
  }
}

TEST(WriteBehindTest, EndingWithoutFinishDropsWhatIsLeftAndDoesNotHang) {
  std::atomic<int> calls{0};
  {
    orlak::WriteBehind sink(1, true, [&](const unsigned char*, size_t) {
      // Long enough that all three are used only if this thread stalls for half a second.
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      ++calls;
      return static_cast<uint16_t>(orlak::kOk);
    });
    for (int i = 0; i < 3; ++i) {
      ASSERT_NE(sink.Acquire(), nullptr);
      sink.Submit(1);
    }
  }
  // At most the buffer in the consumer's hands when the object ended was used.
  EXPECT_LT(calls, 3);
}

}  // namespace
}  // namespace orlak_test
