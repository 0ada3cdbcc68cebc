#include "history/DigestTap.h"

#include <algorithm>

TDigestTap::~TDigestTap() {
  StopHashing();
}

void TDigestTap::Start() {
  StopHashing();  // a copy that failed half way left its hasher
  sha_.Reset();
  size_ = 0;
}

std::span<char> TDigestTap::Buffer() {
  if (!buffers_) buffers_.reset(new char[kBuffers * kBufferSize]);  // left uninitialised
  std::unique_lock<std::mutex> hold(lock_);
  auto busy = [&](int i) {
    return i == hashing_ ||
           std::any_of(queue_.begin(), queue_.end(), [&](const auto& q) { return q.first == i; });
  };
  for (;;) {
    for (int i = 1; i <= kBuffers; ++i) {
      const int next = (handed_ + i) % kBuffers;
      if (!busy(next)) {
        handed_ = next;
        return {At(next), kBufferSize};
      }
    }
    changed_.wait(hold);  // all queued: until the hasher is done with one
  }
}

void TDigestTap::Read(size_t count) {
  size_ += count;
  // Nothing of this copy went to the hasher: a file shorter than a buffer.
  if (!hasher_.joinable() && count < kBufferSize) {
    sha_.Update(At(handed_), count);
    return;
  }
  if (!hasher_.joinable()) hasher_ = std::thread([this] { HashQueued(); });
  {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.emplace_back(handed_, count);
  }
  changed_.notify_all();
}

void TDigestTap::HashQueued() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    changed_.wait(hold, [&] { return !queue_.empty() || ending_; });
    if (queue_.empty()) return;  // ending, all hashed
    const auto [buffer, count] = queue_.front();
    queue_.pop_front();
    hashing_ = buffer;
    hold.unlock();
    sha_.Update(At(buffer), count);
    hold.lock();
    hashing_ = -1;
    changed_.notify_all();
  }
}

void TDigestTap::StopHashing() {
  if (!hasher_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    ending_ = true;
  }
  changed_.notify_all();
  hasher_.join();
  ending_ = false;
}

bool TDigestTap::Finish(std::string& hex, uint64_t& size) {
  StopHashing();
  size = size_;
  return sha_.Final(hex);
}
