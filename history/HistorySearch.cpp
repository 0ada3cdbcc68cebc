#include "history/HistorySearch.h"

#include <cctype>

#include "platform/Clock.h"

namespace {

bool IsDigest(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

THistoryFilter HistorySearch(const std::string& text, const std::string& fromDay,
                             const std::string& toDay) {
  THistoryFilter filter;
  const std::string wanted = Trimmed(text);
  if (IsDigest(wanted)) {
    // Digests are kept in lower case.
    for (const char c : wanted)
      filter.Sha256 += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  } else {
    filter.NameMask = wanted;
  }
  if (!fromDay.empty()) filter.From = platform::ParseLocalTime(fromDay).value_or(0);
  if (!toDay.empty()) filter.To = platform::ParseLocalTime(toDay + " 23:59:59").value_or(0);
  filter.Limit = kHistorySearchRows;
  return filter;
}
