// The window's history search as a query: its search box holds a file name,
// a mask or a SHA-256 digest, its date range whole local days.
#pragma once

#include <cstddef>
#include <string>

#include "history/HistoryStore.h"

// The newest records a search shows at most: a table an operator can read,
// however many a database holds.
inline constexpr size_t kHistorySearchRows = 1000;

// text: blanks around it do not count; 64 hexadecimal digits are a digest of
// the bytes taken or delivered, anything else a name or mask; empty: any.
// fromDay, toDay: "YYYY-MM-DD", both days included; empty: open.
THistoryFilter HistorySearch(const std::string& text, const std::string& fromDay,
                             const std::string& toDay);
