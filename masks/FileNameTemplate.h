// A template of a file mask. One that holds "\" or "/" is a path template:
// on the exclude side of a mask it is compared with folder plus name.
#pragma once

#include <string_view>

#include "masks/Template.h"

class TFileNameTemplate : public TTemplate {
 public:
  explicit TFileNameTemplate(std::string_view text, bool caseSensitive = false);

  bool Compile(std::string_view text) override;

  bool HasPath() const { return hasPath_; }

 private:
  bool hasPath_ = false;
};
