#include "masks/FileNameTemplate.h"

TFileNameTemplate::TFileNameTemplate(std::string_view text, bool caseSensitive)
    : TTemplate(DeferCompile{}, caseSensitive) {
  TFileNameTemplate::Compile(text);
}

bool TFileNameTemplate::Compile(std::string_view text) {
  hasPath_ = text.find_first_of("\\/") != std::string_view::npos;
  return TTemplate::Compile(text);
}
