#include "masks/TemplateList.h"

#include <string>

int TTemplateList::AddTemplate(std::string_view text) {
  items_.push_back(std::make_unique<TFileNameTemplate>(text, false));
  return Count() - 1;
}

bool TTemplateList::MatchAny(std::string_view name, std::string_view folder) const {
  std::string path;  // folder plus name, built once for the first path template
  for (const auto& item : items_) {
    if (item->HasPath()) {
      if (path.empty()) (path += folder) += name;
      if (item->Match(path)) return true;
    } else if (item->Match(name)) {
      return true;
    }
  }
  return false;
}
