#include "app/tessel/History.h"

#include <cstdio>

#include "app/tessel/Console.h"
#include "history/HistoryStore.h"
#include "history/RoadText.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace {

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
                    Padded(r.Name, 25) + Padded(OutcomeText(r.Outcome), 13) + WhereText(r));
  return lines;
}

std::string HistoryJson(const std::vector<THistoryRecord>& records) {
  std::string json = "[";
  for (size_t i = 0; i < records.size(); ++i) {
    const THistoryRecord& r = records[i];
    json += i ? ",\n" : "\n";
    json +=
        "{\"id\":" + std::to_string(r.Id) + ",\"script\":" + JsonString(r.Script) +
        ",\"group\":" + JsonString(r.Group) + ",\"source\":" + JsonString(r.Source) +
        ",\"name\":" + JsonString(r.Name) + ",\"size\":" + std::to_string(r.Size) +
        ",\"sha256\":" + JsonString(r.Sha256) + ",\"outcome\":" + JsonString(r.Outcome) +
        ",\"target\":" + JsonString(r.Target) + ",\"why\":" + JsonString(r.Why) +
        ",\"code\":" + std::to_string(r.Code) + ",\"result_size\":" + std::to_string(r.ResultSize) +
        ",\"result_sha256\":" + JsonString(r.ResultSha256) +
        ",\"taken_at\":" + std::to_string(r.TakenAt) + ",\"done_at\":" + std::to_string(r.DoneAt) +
        ",\"host\":" + JsonString(r.Host) + ",\"version\":" + JsonString(r.Version) +
        ",\"recovered\":" + (r.Recovered ? "true" : "false") + ",\"steps\":[";
    for (size_t k = 0; k < r.Steps.size(); ++k) {
      const THistoryStep& s = r.Steps[k];
      json += (k ? "," : "") + std::string("{\"kind\":") + std::to_string(s.Kind) +
              ",\"caption\":" + JsonString(s.Caption) + ",\"params\":" + JsonString(s.Params) +
              ",\"ok\":" + (s.Ok ? "true" : "false") + ",\"code\":" + std::to_string(s.Code) +
              ",\"text\":" + JsonString(s.Text) + ",\"copied_to\":" + JsonString(s.CopiedTo) +
              ",\"fingerprints\":" + JsonString(s.Fingerprints) + "}";
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
           "," + CsvField(r.Why) + "," + std::to_string(r.ResultSize) + "," + r.ResultSha256 + "\n";
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
      for (const std::string& line : RoadLines(records[i])) PrintLine(line);
    }
    return kExitOk;
  }
  for (const std::string& line : HistoryTable(records)) PrintLine(line);
  return kExitOk;
}
