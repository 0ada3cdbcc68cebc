// The SHA-256 of the bytes a copy makes, made from the buffers the copy
// reads them into, so that the pass never reads a file again for its
// digest. A file of less than one buffer is hashed on the copy's thread,
// where handing it over would cost more than hashing it. A larger one is
// hashed on a second thread fed the buffers the copy has written, a few at
// most: the copy waits for the hash no longer than one buffer takes, and
// reads and writes the next while the hash works on those before; only the
// record waits for the last of them (Finish).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "history/Sha256.h"
#include "platform/Files.h"

class TDigestTap : public platform::CopyTap {
 public:
  TDigestTap() = default;
  ~TDigestTap() override;
  TDigestTap(const TDigestTap&) = delete;
  TDigestTap& operator=(const TDigestTap&) = delete;

  // A new copy begins: nothing hashed yet.
  void Start();
  std::span<char> Buffer() override;
  void Read(size_t count) override;
  // The digest of the bytes read since Start and their count, once the
  // hash has caught up with the copy; false when the library failed.
  bool Finish(std::string& hex, uint64_t& size);

  static constexpr size_t kBufferSize = 1 << 20;
  static constexpr int kBuffers = 4;

 private:
  void HashQueued();  // the second thread
  void StopHashing();
  char* At(int buffer) const { return buffers_.get() + static_cast<size_t>(buffer) * kBufferSize; }

  std::unique_ptr<char[]> buffers_;  // kBuffers of kBufferSize, made on first use
  TSha256 sha_;
  uint64_t size_ = 0;
  int handed_ = 0;  // the buffer Buffer() handed out last
  std::thread hasher_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::pair<int, size_t>> queue_;  // buffers read, in order, and their counts
  int hashing_ = -1;                          // the buffer the hasher holds
  bool ending_ = false;
};
