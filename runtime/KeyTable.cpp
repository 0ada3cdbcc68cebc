#include "runtime/KeyTable.h"

#include "engine/uFileUtil.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "runtime/CryptoSession.h"

namespace {

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    cells.push_back(platform::Utf8ToCp1251Lossy(line.substr(start, tab - start)));
    if (tab == std::string::npos) return cells;
    start = tab + 1;
  }
}

}  // namespace

TKeyTable KeyTableOf(const std::string& output, int status) {
  TKeyTable table;
  std::vector<std::string> lines;
  for (size_t start = 0; start < output.size();) {
    size_t nl = output.find('\n', start);
    if (nl == std::string::npos) nl = output.size();
    lines.push_back(output.substr(start, nl - start));
    start = nl + 1;
  }
  if (status != 0 || lines.empty()) {
    table.Error = "Список ключей не получен (" + std::string(kKeyUtilityName) + " list, код " +
                  std::to_string(status) + ")";
    for (const std::string& line : lines) table.Error += "\n" + platform::Utf8ToCp1251Lossy(line);
    return table;
  }
  table.Header = Cells(lines.front());
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> row = Cells(lines[i]);
    row.resize(table.Header.size());
    table.Rows.push_back(std::move(row));
  }
  return table;
}

TKeyTable ReadKeyTable(const std::string& settingsFile) {
  const std::string utility = FindOnSearchPath(kKeyUtilityName);
  std::string output;
  int status = 0;
  if (const int err = platform::RunAndRead(utility, {"list", "--script", settingsFile}, output, status)) {
    TKeyTable table;
    table.Error = std::string(kKeyUtilityName) + " не запускается: " + platform::ErrorText(err);
    return table;
  }
  return KeyTableOf(output, status);
}
