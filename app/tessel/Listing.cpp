#include "app/tessel/Listing.h"

#include "engine/uTesselTypes.h"

namespace {

void Names(std::vector<std::string>& lines, const std::string& title,
           const std::vector<std::string>& names) {
  lines.push_back("  " + title + " (" + std::to_string(names.size()) + ")" +
                  (names.empty() ? "" : ":"));
  for (const std::string& name : names) lines.push_back("    " + name);
}

}  // namespace

std::vector<std::string> ListingLines(const TTesselActionList& group, const TMaskListing& listing) {
  std::vector<std::string> lines;
  lines.push_back("Группа \"" + group.Name + "\"" + (group.Enabled ? "" : " (выключена)"));
  if (listing.Folder.empty()) {
    lines.push_back("  Маска без папки: " + group.SourceMask);
  } else if (!listing.FolderFound) {
    lines.push_back("  Папка " + listing.Folder + " не найдена или не читается");
  } else {
    lines.push_back("  Папка: " + listing.Folder);
    Names(lines, "Берёт", listing.Taken);
    Names(lines, "Исключает", listing.Excluded);
    if (!listing.Waiting.empty()) {
      lines.push_back("  Оставит до следующего прохода (" + std::to_string(listing.Waiting.size()) +
                      "):");
      for (const auto& waiting : listing.Waiting)
        lines.push_back("    " + waiting.Name + " - " + waiting.Reason);
    }
  }
  std::vector<std::string> steps;
  for (int i = 0; i < group.ActionCount(); ++i) {
    const TTesselAction* step = group.GetAction(i);
    if (!step || !step->Enabled) continue;
    std::string line = "    " + std::to_string(i + 1) + ". " + step->GetCaption();
    if (const std::string params = step->GetParamText(); !params.empty()) line += "; " + params;
    if (!step->CopyTo.empty()) line += "; копия в " + step->CopyTo;
    steps.push_back(line);
  }
  lines.push_back("  Включённые шаги (" + std::to_string(steps.size()) + ")" +
                  (steps.empty() ? "" : ":"));
  lines.insert(lines.end(), steps.begin(), steps.end());
  lines.push_back("  Результат в: " + group.DestFolder);
  lines.push_back("  Ошибки в: " + group.BadFolder);
  return lines;
}
