// One key read back the way the program reads it, with a marker for a key
// that is not there.
#pragma once

#include <string>
#include <vector>

#include "platform/Profile.h"

namespace profile_lookup {

inline const std::string kMissing = "<default>";

inline std::string Get(const std::string& file, const std::string& section,
                       const std::string& key) {
  std::vector<char> buffer(70000);
  size_t n = platform::GetPrivateProfileStringA(section, key, kMissing, buffer.data(),
                                                buffer.size(), file);
  return std::string(buffer.data(), n);
}

}  // namespace profile_lookup
