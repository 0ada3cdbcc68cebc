#include "history/DigestTap.h"

#include <algorithm>
#include <utility>

TDigestTap::~TDigestTap() {
  StopHashing();
}

void TDigestTap::Start(const std::string& path) {
  StopHashing();   // a copy that failed half way left its hasher
  reset_ = false;  // the digest begins when there is something to hash
  path_ = path;
  hashed_ = 0;
  failed_ = false;
  copied_ = 0;
  held_ = false;
}

std::span<char> TDigestTap::Buffer(uint64_t size) {
  if (size > kBufferSize) return {};
  if (kept_.Capacity < size || !kept_.Data) {
    kept_.Capacity = std::max<size_t>(static_cast<size_t>(size), 1);
    kept_.Data.reset(new char[kept_.Capacity]);
  }
  return {kept_.Data.get(), static_cast<size_t>(size)};
}

void TDigestTap::Read(size_t count) {
  kept_.Size = count;
  held_ = true;
}

bool TDigestTap::TakeBytes(TKeptBytes& bytes) {
  if (!std::exchange(held_, false)) return false;
  std::swap(bytes, kept_);
  return true;
}

void TDigestTap::Copied(uint64_t bytes) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    copied_ = bytes;
  }
  if (!hasher_.joinable()) {
    BeginDigest();
    if (!pieces_) pieces_.reset(new char[kBufferSize]);
    failed_ = file_.Open(path_) != 0;
    hasher_ = std::thread([this] { HashCopied(); });
  }
  changed_.notify_one();
}

void TDigestTap::HashCopied() {
  std::unique_lock<std::mutex> hold(lock_);
  while (!failed_) {
    changed_.wait(hold, [&] { return copied_ > hashed_ || ending_; });
    const uint64_t until = copied_;
    if (hashed_ >= until) break;  // ending, all hashed
    hold.unlock();
    while (hashed_ < until && !failed_) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, until - hashed_));
      size_t got = 0;
      failed_ = file_.ReadAt(hashed_, pieces_.get(), want, got) != 0 || got == 0;
      sha_.Update(pieces_.get(), got);
      hashed_ += got;
    }
    hold.lock();
  }
  file_.Close();  // at once: a removed working file goes with it
}

void TDigestTap::BeginDigest() {
  if (!std::exchange(reset_, true)) sha_.Reset();
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

void TDigestTap::CopyEnded() {
  if (!hasher_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    ending_ = true;
  }
  changed_.notify_one();
}

bool TDigestTap::Finish(std::string& hex, uint64_t& size) {
  StopHashing();
  BeginDigest();
  if (std::exchange(held_, false)) {
    sha_.Update(kept_.Data.get(), kept_.Size);
    hashed_ = kept_.Size;
  }
  size = hashed_;
  return !failed_ && sha_.Final(hex);
}
