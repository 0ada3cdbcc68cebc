#include "WriteBehind.h"

#include <sodium.h>

#include <system_error>
#include <utility>

#include "Codes.h"

namespace orlak {
namespace {

// Enough for the producer to fill one buffer while the consumer works on
// another and a third waits; more only holds memory.
constexpr size_t kThreadedBuffers = 3;

}  // namespace

WriteBehind::WriteBehind(size_t bufferSize, bool threaded, Consumer consume)
    : consume_(std::move(consume)) {
  const size_t count = threaded ? kThreadedBuffers : 1;
  buffers_.reserve(count);
  free_.reserve(count);
  ready_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    buffers_.emplace_back(bufferSize);
    free_.push_back(i);
  }
  if (!threaded) return;
  try {
    worker_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: the consumer runs inline, on every buffer in turn.
  }
}

WriteBehind::~WriteBehind() {
  Stop();
  for (std::vector<unsigned char>& buffer : buffers_) sodium_memzero(buffer.data(), buffer.size());
}

void WriteBehind::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

unsigned char* WriteBehind::Acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return failure_ != kOk || stopping_ || !free_.empty(); });
  if (failure_ != kOk || stopping_) return nullptr;
  current_ = free_.front();
  free_.erase(free_.begin());
  return buffers_[current_].data();
}

void WriteBehind::Submit(size_t size) {
  if (!worker_.joinable()) {
    // Inline: the one buffer is consumed at once and is free again.
    const uint16_t code = consume_(buffers_[current_].data(), size);
    std::lock_guard<std::mutex> lock(mutex_);
    if (code != kOk && failure_ == kOk) failure_ = code;
    free_.push_back(current_);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_.emplace_back(current_, size);
  }
  changed_.notify_all();
}

uint16_t WriteBehind::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ready_.empty() && !busy_; });
  }
  Stop();
  return failure_;
}

void WriteBehind::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
    if (stopping_) {
      // After Finish nothing is left; stopped without it, what is left is dropped.
      ready_.clear();
      return;
    }
    const auto [index, size] = ready_.front();
    ready_.erase(ready_.begin());
    if (failure_ == kOk) {
      busy_ = true;
      lock.unlock();
      const uint16_t code = consume_(buffers_[index].data(), size);
      lock.lock();
      busy_ = false;
      if (code != kOk && failure_ == kOk) failure_ = code;
    }
    free_.push_back(index);
    changed_.notify_all();
  }
}

}  // namespace orlak
