#include "masks/BracketSet.h"

namespace masks {

TCharSet BracketSet(std::string_view setText) {
  TCharSet set;
  const size_t n = setText.size();
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(setText[i]);
    if (c == '-' && i + 1 < n) {
      // The range starts at the character before the "-" (already a member
      // on its own), or at code 0 when the "-" comes first.
      const unsigned char first = i == 0 ? 0 : static_cast<unsigned char>(setText[i - 1]);
      set.AddRange(first, static_cast<unsigned char>(setText[i + 1]));
      ++i;  // the range's end is consumed
    } else {
      set.Add(c);
    }
  }
  return set;
}

}  // namespace masks
