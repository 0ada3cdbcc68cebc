// The terminal side of tessel: the system's Windows-1251 text goes out as
// UTF-8, and the event log's lines are mirrored to standard output.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/PassContext.h"
#include "engine/uTesselTypes.h"

// The text as the terminal gets it: UTF-8, with control characters other
// than TAB and line feed shown as '?', so that a file name cannot move the
// cursor or change the terminal's state.
std::string ForTerminal(const std::string& cp1251);

// One line of text (without its line end) to standard output or error; an
// error into the journal's stream is marked with the priority err ("<3>").
void PrintLine(const std::string& cp1251);
void PrintError(const std::string& cp1251);
// Text that holds its own line ends.
void PrintText(std::FILE* stream, const std::string& cp1251);

// The fields of a log line's journal entry: MESSAGE (the line as standard
// output shows it), PRIORITY (3 for a failure, 6 otherwise),
// SYSLOG_IDENTIFIER, and TESSEL_GROUP, TESSEL_FILE and TESSEL_CODE when
// known (code 0: none). Values UTF-8; the rest Windows-1251 as the system's.
std::vector<std::string> JournalFields(const std::string& line, TLogKind kind,
                                       const std::string& group, const std::string& file,
                                       int code);

// Every log line also to standard output, for the service manager's journal;
// the log file keeps its bytes. Given a journal, the lines go to it instead,
// each an entry with its priority and what it is about.
class TConsoleLog : public TLogTarget {
 public:
  using JournalSend = std::function<int(const std::vector<std::string>& fields)>;

  void AddLine(const std::string& line, TLogKind kind) override;
  void UseJournal(JournalSend send) { journal_ = std::move(send); }
  bool UsesJournal() const { return static_cast<bool>(journal_); }
  // The group and file the following lines are about (file empty between files).
  void Subject(const std::string& group, const std::string& file);
  // A failure's code goes with the lines of its subject until that changes.
  void NoteFailure(const TFailureEvent& event);

 private:
  JournalSend journal_;
  std::string group_, file_;
  int code_ = 0;
};

// A pass's lines to the event log, and what they are about to the console.
class TConsoleSubjects : public TEventLogSink {
 public:
  explicit TConsoleSubjects(TConsoleLog& console) : console_(console) {}
  void Subject(const std::string& group, const std::string& file) override {
    WriteKeptEnd();  // a file's end line goes out under its own subject
    console_.Subject(group, file);
  }

 private:
  TConsoleLog& console_;
};
