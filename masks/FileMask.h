// A compiled mask text: templates that select file names, separated by ";",
// and after the first "|" templates of names to leave out. Every text
// compiles; a mask is built once and does not change afterwards.
#pragma once

#include <string_view>

#include "masks/TemplateList.h"

class TFileMask {
 public:
  explicit TFileMask(std::string_view maskText);
  TFileMask(const TFileMask&) = delete;
  TFileMask& operator=(const TFileMask&) = delete;

  // Whether the file is selected. The file name is bare; the folder holds it
  // and ends in a delimiter. Exclude templates win; include templates always
  // see the bare name.
  bool Matches(std::string_view fileName, std::string_view folder) const;

  const TTemplateList& Include() const { return include_; }
  const TTemplateList& Exclude() const { return exclude_; }

 private:
  TTemplateList include_;
  TTemplateList exclude_;
  // An exclude template too long to compile cannot say which files it would
  // leave out, so the mask then selects nothing rather than too much.
  bool excludeUnknown_ = false;
};
