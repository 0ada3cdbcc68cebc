#include "masks/ByteSeq.h"

bool TByteSeq::AddSet(const TCharSet& set) {
  if (sets_.size() >= static_cast<size_t>(kCapacity)) return false;
  sets_.push_back(set);
  return true;
}

bool TByteSeq::MatchAt(std::string_view name, std::size_t position) const {
  if (sets_.empty()) return true;
  if (position == 0) return false;  // before the name: nothing to compare
  const std::size_t first = position - 1;
  for (std::size_t j = 0; j < sets_.size(); ++j) {
    const std::size_t i = first + j;
    const unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
    if (!sets_[j].Contains(c)) return false;
  }
  return true;
}
