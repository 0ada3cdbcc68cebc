// An ordered list of file-name templates; it owns them.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "masks/FileNameTemplate.h"

class TTemplateList {
 public:
  // Compiles the text (ignoring letter case) and appends it; returns its index.
  int AddTemplate(std::string_view text);

  // True when a template matches: a path template sees folder plus name, any
  // other the bare name. False for an empty list.
  bool MatchAny(std::string_view name, std::string_view folder) const;

  int Count() const { return static_cast<int>(items_.size()); }
  const TFileNameTemplate& Get(int index) const { return *items_.at(static_cast<size_t>(index)); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TFileNameTemplate>> items_;
};
