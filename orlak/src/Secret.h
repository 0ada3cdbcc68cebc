// Memory for key material: guarded, locked against swapping where the system
// allows, and wiped when released.
#pragma once

#include <sodium.h>

#include <cstddef>
#include <new>
#include <stdexcept>

namespace orlak {

class SecretBuffer {
 public:
  explicit SecretBuffer(size_t size) : size_(size), data_(Allocate(size)) {}
  ~SecretBuffer() { sodium_free(data_); }  // sodium_free wipes before releasing
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;

  unsigned char* data() { return static_cast<unsigned char*>(data_); }
  const unsigned char* data() const { return static_cast<const unsigned char*>(data_); }
  size_t size() const { return size_; }

 private:
  static void* Allocate(size_t size) {
    // sodium_malloc needs the library started; starting it again is cheap.
    if (sodium_init() < 0) throw std::runtime_error("libsodium cannot start");
    void* data = sodium_malloc(size == 0 ? 1 : size);
    if (!data) throw std::bad_alloc();
    return data;
  }
  size_t size_;
  void* data_;
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
