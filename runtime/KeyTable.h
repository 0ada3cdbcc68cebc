// The key inventory for the window's "Ключи...": the table marvik list prints
// for a script (every key of both key folders with its dates, capabilities,
// state and the steps that use it, and the identifiers no key file provides).
// marvik builds it, with the library's key facts compiled in; the window runs
// it and shows its rows, so both show one table.
#pragma once

#include <string>
#include <vector>

struct TKeyTable {
  std::vector<std::string> Header;  // the column names as marvik prints them
  std::vector<std::vector<std::string>> Rows;  // Windows-1251, as many cells as the header
  std::string Error;  // why there is no table; empty when there is one
};

// The table from what marvik list wrote (UTF-8, TAB between cells, a line
// per row, the header first) and its exit status.
TKeyTable KeyTableOf(const std::string& output, int status);
// Runs the key utility found on the search path with list --script for the
// settings file as saved, and reads its table.
TKeyTable ReadKeyTable(const std::string& settingsFile);
