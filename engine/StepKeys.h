// A step kind's own settings, described once for both directions, as an
// archive is: a reader fills each value from its key (its default when the
// key is missing), a writer stores each value under its key and leaves it as
// it is. The settings file (config/) provides both; the engine knows no
// file format.
#pragma once

#include <cstdint>
#include <string>

class TStepKeys {
 public:
  virtual ~TStepKeys() = default;
  // A missing key reads as empty.
  virtual void Text(const char* key, std::string& value) = 0;
  virtual void Integer(const char* key, int32_t& value, int32_t missing) = 0;
};
