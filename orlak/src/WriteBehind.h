// Hands filled buffers, in order, to a consumer (a file write, a seal update)
// that runs on a thread of its own, so that reading and the cipher of one
// chunk overlap with writing the one before. Jobs too small to repay a thread
// run the consumer inline, in the caller's thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orlak {

// Inputs from this size on are worth a thread of their own.
inline constexpr uint64_t kWriteBehindFrom = uint64_t{1} << 20;

class WriteBehind {
 public:
  // The consumer gets each buffer's bytes and gives kOk or a result code;
  // after its first failure it is not called again.
  using Consumer = std::function<uint16_t(const unsigned char* data, size_t size)>;

  WriteBehind(size_t bufferSize, bool threaded, Consumer consume);
  // Stops the thread; buffers not consumed yet are dropped. Every buffer is
  // wiped, as it may have held plaintext.
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // A buffer of bufferSize bytes to fill, or nullptr once the consumer has
  // failed (Finish gives its code). Waits while every buffer is in use.
  unsigned char* Acquire();
  // Hands the buffer of the last Acquire over, holding size bytes.
  void Submit(size_t size);
  // Waits until every submitted buffer is consumed; the consumer's first
  // failure, or kOk. The object takes no more buffers afterwards.
  uint16_t Finish();

 private:
  void Run();
  void Stop();

  Consumer consume_;
  std::vector<std::vector<unsigned char>> buffers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Buffer indices, free or handed over (with their sizes), in order. Both
  // are reserved for every buffer up front: the worker never allocates, so
  // nothing can throw on its thread.
  std::vector<size_t> free_;
  std::vector<std::pair<size_t, size_t>> ready_;
  size_t current_ = 0;  // the last acquired
  bool busy_ = false;   // the consumer is running
  bool stopping_ = false;
  uint16_t failure_ = 0;
  std::thread worker_;
};

}  // namespace orlak
