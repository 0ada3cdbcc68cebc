#include "history/RoadText.h"

#include "platform/Clock.h"

namespace {

// Enough of a digest to tell records apart by eye; a search takes it whole.
constexpr size_t kShortDigest = 12;

}  // namespace

std::string OutcomeText(const std::string& outcome) {
  if (outcome == "delivered") return "доставлен";
  if (outcome == "bad") return "в ошибки";
  if (outcome == "left") return "оставлен";
  if (outcome == "held") return "ждёт устранения ошибки";
  return outcome;
}

std::string WhereText(const THistoryRecord& r) {
  return r.Target.empty() ? r.Why : r.Target;
}

std::vector<std::string> RoadLines(const THistoryRecord& r) {
  std::vector<std::string> lines{
      "Запись " + std::to_string(r.Id) + (r.Recovered ? " (дополнена по журналу доставки)" : ""),
      "  Сценарий: " + r.Script + ", группа: " + r.Group,
      "  Взят: " + platform::FormatLocalTime(r.TakenAt) + " из " + r.Source,
      "  Размер: " + std::to_string(r.Size) + ", SHA-256: " + r.Sha256};
  int n = 0;
  for (const THistoryStep& step : r.Steps) {
    lines.push_back("  Шаг " + std::to_string(++n) + ": " + step.Caption + " (" + step.Params +
                    ") - " + (step.Ok ? "успешно" : "ошибка " + std::to_string(step.Code)));
    size_t start = 0;
    for (size_t nl; start < step.Text.size(); start = nl + 1) {
      nl = step.Text.find('\n', start);
      if (nl == std::string::npos) nl = step.Text.size();
      lines.push_back("      " + step.Text.substr(start, nl - start));
    }
    if (!step.Fingerprints.empty()) lines.push_back("      отпечатки ключей: " + step.Fingerprints);
    if (!step.CopiedTo.empty()) lines.push_back("      копия: " + step.CopiedTo);
  }
  lines.push_back("  Итог: " + OutcomeText(r.Outcome) + (r.Target.empty() ? "" : " " + r.Target) +
                  (r.Why.empty() ? "" : " (" + r.Why + ")"));
  if (!r.ResultSha256.empty())
    lines.push_back("  Доставлено: " + std::to_string(r.ResultSize) +
                    " байт, SHA-256: " + r.ResultSha256);
  lines.push_back("  Завершён: " + platform::FormatLocalTime(r.DoneAt) + " на " + r.Host +
                  ", версия " + r.Version);
  return lines;
}

std::vector<std::string> RoadCells(const THistoryRecord& r) {
  std::vector<std::string> cells(static_cast<size_t>(TRoadColumn::Count));
  auto at = [&](TRoadColumn column) -> std::string& { return cells[static_cast<size_t>(column)]; };
  at(TRoadColumn::Taken) = platform::FormatLocalTime(r.TakenAt);
  at(TRoadColumn::Group) = r.Group;
  at(TRoadColumn::Name) = r.Name;
  at(TRoadColumn::Outcome) = OutcomeText(r.Outcome);
  at(TRoadColumn::Size) = std::to_string(r.Size);
  at(TRoadColumn::Digest) = r.Sha256.substr(0, kShortDigest);
  at(TRoadColumn::Where) = WhereText(r);
  return cells;
}
