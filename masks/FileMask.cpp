#include "masks/FileMask.h"

#include "masks/MaskText.h"

namespace {

// Adds every non-blank ";"-separated piece of the text, in order.
void AddTemplates(std::string_view text, TTemplateList& list) {
  text = masks::TrimBlanks(text);
  while (!text.empty()) {
    const size_t semicolon = text.find(';');
    const std::string_view piece = masks::TrimBlanks(text.substr(0, semicolon));
    if (!piece.empty()) list.AddTemplate(piece);
    if (semicolon == std::string_view::npos) break;
    text.remove_prefix(semicolon + 1);
  }
}

}  // namespace

TFileMask::TFileMask(std::string_view maskText) {
  const size_t bar = maskText.find('|');
  AddTemplates(maskText.substr(0, bar), include_);
  if (bar != std::string_view::npos) AddTemplates(maskText.substr(bar + 1), exclude_);
  for (int i = 0; i < exclude_.Count(); ++i) excludeUnknown_ |= !exclude_.Get(i).Fits();
}

bool TFileMask::Matches(std::string_view fileName, std::string_view folder) const {
  if (excludeUnknown_ || exclude_.MatchAny(fileName, folder)) return false;
  return include_.MatchAny(fileName, {});
}
