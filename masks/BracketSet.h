// The set that a bracket item "[...]" of a template stands for.
#pragma once

#include <string_view>

#include "masks/CharSet.h"

namespace masks {

// Builds the set from the text between "[" and "]". Every character is a
// member, except that "-" between two characters makes an inclusive range
// (nothing when reversed), a leading "-" starts its range at code 0, and a
// final "-" is a member. An empty text gives the empty set.
TCharSet BracketSet(std::string_view setText);

}  // namespace masks
