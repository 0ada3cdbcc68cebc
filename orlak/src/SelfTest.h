// Known-answer tests of the primitives the library is built on, run by
// "marvik u" before the application opens the library.
#pragma once

#include <string>

namespace orlak {

// Empty when every check passed, otherwise the name of the first that failed.
std::string RunSelfTest();

}  // namespace orlak
