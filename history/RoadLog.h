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
//
// Older lines are in the log's rotated files: "<log>.1", then "<log>.2.gz"
// and on (gzip), or any of them packed or not. They are read newest first
// and no further than the record's time: a file whose first line precedes
// the record's taken time holds all of the road after that line, unless it
// begins with the rest of a block of the file's name (its beginning stands
// in the file before). Their lines are read as one log, oldest first, so a
// road cut by a rotation comes back whole.
#pragma once

#include <string>
#include <vector>

#include "history/HistoryRecord.h"

// A log file read for a road.
struct TRoadLogFile {
  std::string Path;
  int Error = 0;  // errno of a file that could not be read; EBADMSG: damaged gzip data
};

// The lines as the log holds them (Windows-1251, without CR LF), oldest
// first. files: those read, newest first: the log, then the rotated ones (a
// number missing ends them, and is no error), each with its error; the
// lines of the files that could be read are picked all the same.
std::vector<std::string> RoadLogLines(const THistoryRecord& record, const std::string& logPath,
                                      std::vector<TRoadLogFile>* files = nullptr);
