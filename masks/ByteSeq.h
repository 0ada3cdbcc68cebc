// One segment of a template: the run of character sets between two "*".
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "masks/CharSet.h"

class TByteSeq {
 public:
  // The most sets one segment holds.
  static constexpr int kCapacity = 65536;

  // Each appends one set and returns true; a full segment is left unchanged
  // and the call returns false.
  bool AddChar(unsigned char c) { return AddSet(TCharSet::Of(c)); }
  bool AddSet(const TCharSet& set);
  bool AddDigit() { return AddSet(TCharSet::Digits()); }
  bool AddAny() { return AddSet(TCharSet::Any()); }

  // True when the character at position + j of the name (positions counted
  // from 1) belongs to the j-th set, for every set. Positions after the last
  // character read as code 0, so only sets holding code 0 accept the end of
  // the name. A segment without sets matches anywhere; any other segment
  // fails at position 0, which lies before the name.
  bool MatchAt(std::string_view name, std::size_t position) const;

  int Count() const { return static_cast<int>(sets_.size()); }
  const std::vector<TCharSet>& Sets() const { return sets_; }

 private:
  // Grows as the template is read instead of reserving the full capacity:
  // most segments hold a handful of sets.
  std::vector<TCharSet> sets_;
};
