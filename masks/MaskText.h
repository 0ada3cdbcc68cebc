// Small text helpers shared by the mask compiler.
#pragma once

#include <string_view>

namespace masks {

// Removes the characters of code 32 and below at both ends (blanks, tabs,
// line ends and other control characters).
constexpr std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

}  // namespace masks
