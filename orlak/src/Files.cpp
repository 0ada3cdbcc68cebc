#include "Files.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Codes.h"
#include "platform/Cp1251.h"

namespace orlak {

std::string NativePath(const char* cp1251Path) {
  return platform::Cp1251ToUtf8(cp1251Path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool IsFolder(const std::string& nativePath) {
  struct stat st;
  return ::stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

uint16_t InputFile::Open(const std::string& nativePath, bool forUpdate) {
  // O_NONBLOCK so that a FIFO put in place of a file cannot hang the open.
  // Only regular files are kept, whose reads the flag does not change.
  fd_ = ::open(nativePath.c_str(), (forUpdate ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return kInputOpen;
  struct stat st;
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return kInputOpen;
  size_ = static_cast<uint64_t>(st.st_size);
  return kOk;
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
  // A block a little longer than a power of two: the packet headers of a
  // message cut into parts of 8 KiB lie 8,193 bytes apart, and each block
  // read then serves four of them.
  constexpr size_t kSmallRead = 512, kBlock = 32 * 1024 + 16;
  if (offset >= size_ || n > size_ - offset) return ReadFully(offset, buffer, n);
  if (!InBlock(offset, n)) {
    if (n > kSmallRead) return ReadFully(offset, buffer, n);
    blockAt_ = size_ <= kBlock ? 0 : offset;
    block_.resize(static_cast<size_t>(std::min<uint64_t>(kBlock, size_ - blockAt_)));
    if (!ReadFully(blockAt_, block_.data(), block_.size())) {
      block_.clear();
      return false;
    }
  }
  std::memcpy(buffer, block_.data() + (offset - blockAt_), n);
  return true;
}

bool InputFile::ReadFully(uint64_t offset, void* buffer, size_t n) {
  auto* p = static_cast<unsigned char*>(buffer);
  while (n > 0) {
    ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    offset += static_cast<uint64_t>(got);
    n -= static_cast<size_t>(got);
  }
  return true;
}

ssize_t InputFile::Read(void* buffer, size_t n) {
  // The file is read as long as it was when opened, from what the block
  // read or the read-ahead holds when they hold the position.
  auto* p = static_cast<unsigned char*>(buffer);
  const uint64_t left = position_ < size_ ? size_ - position_ : 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, left));
  size_t done = 0;
  while (done < n) {
    const std::vector<unsigned char>* held = nullptr;
    uint64_t heldAt = 0;
    if (position_ >= blockAt_ && position_ - blockAt_ < block_.size()) {
      held = &block_;
      heldAt = blockAt_;
    } else if (position_ >= aheadAt_ && position_ - aheadAt_ < ahead_.size()) {
      held = &ahead_;
      heldAt = aheadAt_;
    }
    if (held) {
      const size_t from = static_cast<size_t>(position_ - heldAt);
      const size_t take = std::min(n - done, held->size() - from);
      std::memcpy(p + done, held->data() + from, take);
      done += take;
      position_ += take;
      continue;
    }
    if (n - done >= kReadAhead) {  // a large read goes straight to the caller
      ssize_t got = ::pread(fd_, p + done, n - done, static_cast<off_t>(position_));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return -1;
      if (got == 0) break;
      done += static_cast<size_t>(got);
      position_ += static_cast<uint64_t>(got);
      continue;
    }
    ahead_.resize(static_cast<size_t>(std::min<uint64_t>(kReadAhead, size_ - position_)));
    aheadAt_ = position_;
    ssize_t got;
    do {
      got = ::pread(fd_, ahead_.data(), ahead_.size(), static_cast<off_t>(position_));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      ahead_.clear();
      return -1;
    }
    ahead_.resize(static_cast<size_t>(got));
    if (got == 0) break;
  }
  return static_cast<ssize_t>(done);
}

bool InputFile::Seek(uint64_t offset) {
  position_ = offset;
  return true;
}

bool InputFile::Truncate(uint64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
  size_ = size;
  block_.clear();
  ahead_.clear();
  return true;
}

uint16_t OutputFile::Create(const std::string& nativeTarget, mode_t mode) {
  return file_.Create(nativeTarget, mode) == 0 ? kOk : kOutputOpen;
}

OutputFile::~OutputFile() {
  sodium_memzero(gathered_.data(), gathered_.size());
}

uint16_t OutputFile::Write(const void* data, size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (gathered_.size() + n > kGather || n >= kDirectWrite) {
    uint16_t code = Flush();
    if (code != kOk) return code;
    if (n >= kDirectWrite) return platform::WriteAll(file_.Fd(), data, n) == 0 ? kOk : kWriteFailed;
  }
  if (gathered_.size() + n > gathered_.capacity()) {
    // Grown by hand, so that no copy of the bytes is freed unwiped.
    std::vector<unsigned char> bigger;
    bigger.reserve(std::min(kGather, std::max(gathered_.size() + n, 2 * gathered_.capacity())));
    bigger.assign(gathered_.begin(), gathered_.end());
    sodium_memzero(gathered_.data(), gathered_.size());
    gathered_.swap(bigger);
  }
  gathered_.insert(gathered_.end(), bytes, bytes + n);
  return kOk;
}

uint16_t OutputFile::Flush() {
  if (gathered_.empty()) return kOk;
  const int failed = platform::WriteAll(file_.Fd(), gathered_.data(), gathered_.size());
  sodium_memzero(gathered_.data(), gathered_.size());  // it may be plaintext
  gathered_.clear();
  return failed == 0 ? kOk : kWriteFailed;
}

uint16_t OutputFile::Commit() {
  uint16_t code = Flush();
  if (code != kOk) return code;
  // A failure to name the file is the rename's; the data was all written.
  return file_.Commit(/*synced=*/false) == 0 ? kOk : kRenameFailed;
}

}  // namespace orlak
