// Memory for key material. Loaded keys get pages of their own, locked
// against swapping and left out of core dumps where the system allows;
// short-lived keys and states stay on the stack. Both are wiped on release.
#pragma once

#include <sodium.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace orlak {

class SecretBuffer {
 public:
  explicit SecretBuffer(size_t size) : size_(size == 0 ? 1 : size) {
    // Whole pages of the system's size (4 KiB on some machines, 16 or 64 KiB
    // on others), so that unlocking one buffer never unlocks another's page.
    const size_t page = PageSize();
    data_ = static_cast<unsigned char*>(std::aligned_alloc(page, (size_ + page - 1) / page * page));
    if (!data_) throw std::bad_alloc();
    locked_ = sodium_mlock(data_, size_) == 0;
  }
  ~SecretBuffer() {
    // sodium_munlock wipes the bytes before unlocking them.
    if (!locked_ || sodium_munlock(data_, size_) != 0) sodium_memzero(data_, size_);
    std::free(data_);
  }
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;

  unsigned char* data() { return data_; }
  const unsigned char* data() const { return data_; }
  size_t size() const { return size_; }

  static size_t PageSize() {
    static const size_t page = [] {
      const long size = ::sysconf(_SC_PAGESIZE);
      return size > 0 ? static_cast<size_t>(size) : size_t{4096};
    }();
    return page;
  }

 private:
  size_t size_;
  unsigned char* data_;
  bool locked_ = false;
};

// A fixed number of secret bytes on the stack.
template <size_t N>
class WipedBytes {
 public:
  WipedBytes() = default;
  ~WipedBytes() { sodium_memzero(bytes_, N); }
  WipedBytes(const WipedBytes&) = delete;
  WipedBytes& operator=(const WipedBytes&) = delete;
  unsigned char* data() { return bytes_; }
  const unsigned char* data() const { return bytes_; }
  static constexpr size_t size() { return N; }

 private:
  unsigned char bytes_[N] = {};
};

// A heap buffer for bytes that may be plaintext or keys (read-ahead, copies,
// a key per receiver), wiped when released.
class WipedBuffer {
 public:
  explicit WipedBuffer(size_t size) : bytes_(size) {}
  ~WipedBuffer() { sodium_memzero(bytes_.data(), bytes_.size()); }
  WipedBuffer(const WipedBuffer&) = delete;
  WipedBuffer& operator=(const WipedBuffer&) = delete;
  unsigned char* data() { return bytes_.data(); }
  const unsigned char* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  void swap(WipedBuffer& other) { bytes_.swap(other.bytes_); }

 private:
  std::vector<unsigned char> bytes_;
};

// Wipes a stack object holding secrets (a stream or MAC state) on scope exit.
template <typename T>
class WipeOnExit {
 public:
  explicit WipeOnExit(T& object) : object_(object) {}
  ~WipeOnExit() { sodium_memzero(&object_, sizeof(T)); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  T& object_;
};

}  // namespace orlak
