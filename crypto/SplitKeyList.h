// The rule by which every list of key identifiers in a script is split.
#pragma once

#include <string>
#include <vector>

// Semicolons and blanks (codes 1 to 32) separate items; a double-quoted item
// may hold both, with a doubled double quote standing for one. Empty items
// are kept: "A;;B" gives A, an empty item and B, and "A;" gives A and an
// empty item. A quote that is never closed takes the rest of the text.
std::vector<std::string> SplitKeyList(const std::string& text);
