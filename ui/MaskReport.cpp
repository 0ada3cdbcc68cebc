#include "ui/MaskReport.h"

namespace {

constexpr const char* kIndent = "    ";

void Section(std::vector<std::string>& lines, const std::string& title,
             const std::vector<std::string>& names) {
  lines.push_back(title + " (" + std::to_string(names.size()) + "):");
  for (const std::string& name : names) lines.push_back(kIndent + name);
}

}  // namespace

std::vector<std::string> MaskReportLines(const std::string& mask, const TMaskListing& listing) {
  std::vector<std::string> lines = {"Маска: " + mask};
  if (listing.Folder.empty()) {
    lines.push_back("В маске не указана папка: проход не возьмёт ни одного файла.");
    return lines;
  }
  lines.push_back("Папка: " + listing.Folder);
  if (!listing.FolderFound) {
    lines.push_back("Папка не найдена или не читается: проход не возьмёт ни одного файла.");
    return lines;
  }
  Section(lines, "Возьмёт сейчас", listing.Taken);
  Section(lines, "Исключает", listing.Excluded);
  if (!listing.Waiting.empty()) {
    lines.push_back("Оставит до следующего прохода (" + std::to_string(listing.Waiting.size()) +
                    "):");
    for (const auto& file : listing.Waiting)
      lines.push_back(kIndent + file.Name + " - " + file.Reason);
  }
  return lines;
}
