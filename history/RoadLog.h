// The event log's lines about one file's road, for the window's history.
//
// A pass writes each file's lines between "Начало обработки файла" and
// "Конец обработки файла" with the file's name; the step's own lines (its
// signature report among them) stand in between without naming it. So the
// lines picked are
//   - each such block of the file's name whose time overlaps the record's,
//     from its taken to its done time (a block cut off by a kill ends before
//     the next group's or file's separator or begin line), and
//   - outside the blocks, the lines within that time that name the file: its
//     quoted name as a field, its source path or its target in a field (the
//     delivery's and the failure lines a pass writes after the block).
// Times are the log's, to the second: a file of the same name taken twice in
// one second shows both roads' lines.
#pragma once

#include <string>
#include <vector>

#include "history/HistoryRecord.h"

// The lines as the log holds them (Windows-1251, without CR LF), oldest
// first; error: the errno of a log that cannot be read, else 0.
std::vector<std::string> RoadLogLines(const THistoryRecord& record, const std::string& logPath,
                                      int* error = nullptr);
