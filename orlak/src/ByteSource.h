// Random-access bytes for the format parsers, so they read files and fuzzer
// buffers alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orlak {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Exactly n bytes at offset; false when they cannot be read.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t n) = 0;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t n) override {
    if (offset > size_ || n > size_ - offset) return false;
    if (n > 0) std::memcpy(buffer, data_ + offset, n);
    return true;
  }

 private:
  const unsigned char* data_;
  size_t size_;
};

}  // namespace orlak
