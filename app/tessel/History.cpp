#include "app/tessel/History.h"

#include <cstdio>

#include "app/tessel/Console.h"
#include "history/HistoryStore.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace {

std::string OutcomeText(const std::string& outcome) {
  if (outcome == "delivered") return "доставлен";
  if (outcome == "bad") return "в ошибки";
  if (outcome == "left") return "оставлен";
  if (outcome == "held") return "ждёт устранения ошибки";
  return outcome;
}

std::string Where(const THistoryRecord& r) {
  return r.Target.empty() ? r.Why : r.Target;
}

// The text and blanks up to the width, at least one.
std::string Padded(std::string text, size_t width) {
  text.append(text.size() < width ? width - text.size() : 1, ' ');
  return text;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

bool HasWildcard(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

}  // namespace

std::vector<std::string> HistoryTable(const std::vector<THistoryRecord>& records) {
  std::vector<std::string> lines{
      "Взят                 Группа          Файл                     Итог         Куда / почему"};
  for (const THistoryRecord& r : records)
    lines.push_back(Padded(platform::FormatLocalTime(r.TakenAt), 21) + Padded(r.Group, 16) +
                    Padded(r.Name, 25) + Padded(OutcomeText(r.Outcome), 13) + Where(r));
  return lines;
}

std::vector<std::string> HistoryRoad(const THistoryRecord& r) {
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

std::string HistoryJson(const std::vector<THistoryRecord>& records) {
  std::string json = "[";
  for (size_t i = 0; i < records.size(); ++i) {
    const THistoryRecord& r = records[i];
    json += i ? ",\n" : "\n";
    json += "{\"id\":" + std::to_string(r.Id) + ",\"script\":" + JsonString(r.Script) +
            ",\"group\":" + JsonString(r.Group) + ",\"source\":" + JsonString(r.Source) +
            ",\"name\":" + JsonString(r.Name) + ",\"size\":" + std::to_string(r.Size) +
            ",\"sha256\":" + JsonString(r.Sha256) + ",\"outcome\":" + JsonString(r.Outcome) +
            ",\"target\":" + JsonString(r.Target) + ",\"why\":" + JsonString(r.Why) +
            ",\"code\":" + std::to_string(r.Code) +
            ",\"result_size\":" + std::to_string(r.ResultSize) +
            ",\"result_sha256\":" + JsonString(r.ResultSha256) +
            ",\"taken_at\":" + std::to_string(r.TakenAt) +
            ",\"done_at\":" + std::to_string(r.DoneAt) + ",\"host\":" + JsonString(r.Host) +
            ",\"version\":" + JsonString(r.Version) +
            ",\"recovered\":" + (r.Recovered ? "true" : "false") + ",\"steps\":[";
    for (size_t k = 0; k < r.Steps.size(); ++k) {
      const THistoryStep& s = r.Steps[k];
      json += (k ? "," : "") + std::string("{\"kind\":") + std::to_string(s.Kind) +
              ",\"caption\":" + JsonString(s.Caption) + ",\"params\":" + JsonString(s.Params) +
              ",\"ok\":" + (s.Ok ? "true" : "false") + ",\"code\":" + std::to_string(s.Code) +
              ",\"text\":" + JsonString(s.Text) + ",\"copied_to\":" + JsonString(s.CopiedTo) +
              "}";
    }
    json += "],\"digest\":" + JsonString(r.Digest) + "}";
  }
  return json + "\n]\n";
}

std::string HistoryCsv(const std::vector<THistoryRecord>& records) {
  std::string csv =
      "id,taken_at,group,name,source,size,sha256,outcome,target,why,result_size,result_sha256\n";
  for (const THistoryRecord& r : records)
    csv += std::to_string(r.Id) + "," + platform::FormatLocalTime(r.TakenAt) + "," +
           CsvField(r.Group) + "," + CsvField(r.Name) + "," + CsvField(r.Source) + "," +
           std::to_string(r.Size) + "," + r.Sha256 + "," + r.Outcome + "," + CsvField(r.Target) +
           "," + CsvField(r.Why) + "," + std::to_string(r.ResultSize) + "," + r.ResultSha256 +
           "\n";
  return csv;
}

int ShowHistory(const std::string& settingsFile, const THistoryQuery& query) {
  const std::string path = platform::ReplaceExtension(settingsFile, ".history");
  std::string why;
  const std::unique_ptr<THistoryStore> store = THistoryStore::OpenToRead(path, &why);
  if (!store) {
    PrintError("История " + path + " не открывается: " + why);
    return kExitOperational;
  }
  if (query.Verify) {
    const int64_t broken = store->Verify(&why);
    if (broken == 0) {
      PrintLine("Цепочка записей истории цела.");
      return kExitOk;
    }
    PrintLine(broken < 0 ? "Цепочку проверить нельзя: " + why
                         : "Цепочка нарушена на записи " + std::to_string(broken) + ": " + why);
    return kExitFilesFailed;
  }
  THistoryFilter filter;
  filter.NameMask = query.Name;
  filter.Group = query.Group;
  filter.Sha256 = query.Sha256;
  filter.Outcome = query.Outcome;
  filter.From = query.From;
  filter.To = query.To;
  const std::vector<THistoryRecord> records = store->Find(filter);
  switch (query.Shape) {
    case THistoryQuery::Format::Json:
      PrintText(stdout, HistoryJson(records));
      return kExitOk;
    case THistoryQuery::Format::Csv:
      PrintText(stdout, HistoryCsv(records));
      return kExitOk;
    case THistoryQuery::Format::Table:
      break;
  }
  if (records.empty()) {
    PrintLine("Записей нет.");
    return kExitOk;
  }
  // A whole name asks where that file went: each of its roads in full.
  if (!query.Name.empty() && !HasWildcard(query.Name)) {
    for (size_t i = 0; i < records.size(); ++i) {
      if (i) PrintLine("");
      for (const std::string& line : HistoryRoad(records[i])) PrintLine(line);
    }
    return kExitOk;
  }
  for (const std::string& line : HistoryTable(records)) PrintLine(line);
  return kExitOk;
}
