// tessel history: the records of each file's road, read while a pass may be
// writing them (the database's readers never wait for its writer, and the
// run lock is not taken).
#pragma once

#include <string>
#include <vector>

#include "app/tessel/CommandLine.h"
#include "history/HistoryRecord.h"

int ShowHistory(const std::string& settingsFile, const THistoryQuery& query);

// The texts printed, one string per line (Windows-1251); a road is
// history/RoadText.h's.
std::vector<std::string> HistoryTable(const std::vector<THistoryRecord>& records);
std::string HistoryJson(const std::vector<THistoryRecord>& records);
std::string HistoryCsv(const std::vector<THistoryRecord>& records);
