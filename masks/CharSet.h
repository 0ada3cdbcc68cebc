// A set of single-byte character codes held as 256 bits, so that testing a
// character of a name is one bit test.
#pragma once

#include <array>
#include <cstdint>

class TCharSet {
 public:
  constexpr TCharSet() = default;

  // All 256 codes, code 0 included: code 0 stands for the end of a name.
  static constexpr TCharSet Any() {
    TCharSet set;
    set.AddRange(0, 255);
    return set;
  }
  static constexpr TCharSet Digits() {
    TCharSet set;
    set.AddRange('0', '9');
    return set;
  }
  static constexpr TCharSet Of(unsigned char c) {
    TCharSet set;
    set.Add(c);
    return set;
  }

  constexpr void Add(unsigned char c) { bits_[c >> 6] |= uint64_t{1} << (c & 63); }
  // Every code from first to last, both included; nothing when last < first.
  constexpr void AddRange(unsigned char first, unsigned char last) {
    for (int c = first; c <= last; ++c) Add(static_cast<unsigned char>(c));
  }
  constexpr bool Contains(unsigned char c) const { return (bits_[c >> 6] >> (c & 63)) & 1; }
  constexpr bool Empty() const { return (bits_[0] | bits_[1] | bits_[2] | bits_[3]) == 0; }
  constexpr int Size() const {
    int n = 0;
    for (int c = 0; c < 256; ++c) n += Contains(static_cast<unsigned char>(c));
    return n;
  }

  constexpr bool operator==(const TCharSet&) const = default;

 private:
  std::array<uint64_t, 4> bits_{};
};
