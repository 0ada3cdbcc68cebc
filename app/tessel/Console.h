// The terminal side of tessel: the system's Windows-1251 text goes out as
// UTF-8, and the event log's lines are mirrored to standard output.
#pragma once

#include <cstdio>
#include <string>

#include "engine/uTesselTypes.h"

// The text as the terminal gets it: UTF-8, with control characters other
// than TAB and line feed shown as '?', so that a file name cannot move the
// cursor or change the terminal's state.
std::string ForTerminal(const std::string& cp1251);

// One line of text (without its line end) to standard output or error.
void PrintLine(const std::string& cp1251);
void PrintError(const std::string& cp1251);
// Text that holds its own line ends.
void PrintText(std::FILE* stream, const std::string& cp1251);

// Every log line also to standard output, for the service manager's journal;
// the log file keeps its bytes.
class TConsoleLog : public TLogTarget {
 public:
  void AddLine(const std::string& line, TLogKind kind) override;
};
