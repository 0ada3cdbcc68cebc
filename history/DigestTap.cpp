#include "history/DigestTap.h"

#include <algorithm>

TDigestTap::~TDigestTap() {
  StopHashing();
}

void TDigestTap::Start(const std::string& path) {
  StopHashing();  // a copy that failed half way left its hasher
  sha_.Reset();
  path_ = path;
  hashed_ = 0;
  failed_ = false;
  copied_ = 0;
}

std::span<char> TDigestTap::Buffer(uint64_t size) {
  if (size > kBufferSize) return {};
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  return {buffer_.get(), kBufferSize};
}

void TDigestTap::Read(size_t count) {
  sha_.Update(buffer_.get(), count);
  hashed_ += count;
}

void TDigestTap::Copied(uint64_t bytes) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    copied_ = bytes;
  }
  if (!hasher_.joinable()) {
    if (!buffer_) buffer_.reset(new char[kBufferSize]);
    hasher_ = std::thread([this] { HashCopied(); });
  }
  changed_.notify_one();
}

void TDigestTap::HashCopied() {
  platform::FileReader file;
  failed_ = file.Open(path_) != 0;
  std::unique_lock<std::mutex> hold(lock_);
  while (!failed_) {
    changed_.wait(hold, [&] { return copied_ > hashed_ || ending_; });
    const uint64_t until = copied_;
    if (hashed_ >= until) return;  // ending, all hashed
    hold.unlock();
    while (hashed_ < until && !failed_) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, until - hashed_));
      size_t got = 0;
      failed_ = file.ReadAt(hashed_, buffer_.get(), want, got) != 0 || got == 0;
      sha_.Update(buffer_.get(), got);
      hashed_ += got;
    }
    hold.lock();
  }
}

void TDigestTap::StopHashing() {
  if (!hasher_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    ending_ = true;
  }
  changed_.notify_one();
  hasher_.join();
  ending_ = false;
}

bool TDigestTap::Finish(std::string& hex, uint64_t& size) {
  StopHashing();
  size = hashed_;
  return !failed_ && sha_.Final(hex);
}
