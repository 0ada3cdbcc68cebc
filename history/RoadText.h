// A record's texts as an operator reads them, the same in tessel history and
// in the window's history: what became of the file, its whole road, and its
// row in a table.
#pragma once

#include <string>
#include <vector>

#include "history/HistoryRecord.h"

// "delivered", "bad", ... in words.
std::string OutcomeText(const std::string& outcome);
// Where it went or, when it went nowhere, why.
std::string WhereText(const THistoryRecord& record);
// Its whole road, one string per line: taken, each step with its keys,
// result, lines (the signature report among them) and copy, the outcome,
// what was delivered, when and where done.
std::vector<std::string> RoadLines(const THistoryRecord& record);

// A row of the window's table: taken, group, name, outcome, size, the first
// digits of the taken bytes' digest, where it went.
enum class TRoadColumn { Taken, Group, Name, Outcome, Size, Digest, Where, Count };
std::vector<std::string> RoadCells(const THistoryRecord& record);
