#include "app/tessel/Console.h"

#include "platform/Cp1251.h"
#include "platform/Journal.h"

std::string ForTerminal(const std::string& cp1251) {
  std::string text = cp1251;
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7f) c = '?';
  }
  return platform::Cp1251ToUtf8(text);
}

void PrintText(std::FILE* stream, const std::string& cp1251) {
  const std::string text = ForTerminal(cp1251);
  std::fwrite(text.data(), 1, text.size(), stream);
  // Each line at once: the journal and a reader of a pipe see it as it happens.
  std::fflush(stream);
}

void PrintLine(const std::string& cp1251) {
  PrintText(stdout, cp1251 + "\n");
}

void PrintError(const std::string& cp1251) {
  // Into the journal's stream, the line's priority (err) goes before it.
  static const bool journal = platform::IsJournalStream(2);
  PrintText(stderr, std::string(journal ? "<3>" : "") + "tessel: " + cp1251 + "\n");
}

namespace {

// A line with a line feed of its own (a file name can hold one) stays one line.
std::string OneLine(const std::string& line) {
  std::string oneLine = line;
  for (char& c : oneLine)
    if (c == '\n') c = '?';
  return oneLine;
}

}  // namespace

std::vector<std::string> JournalFields(const std::string& line, TLogKind kind,
                                       const std::string& group, const std::string& file,
                                       int code) {
  std::vector<std::string> fields{"MESSAGE=" + ForTerminal(OneLine(line)),
                                  kind == TLogKind::Failure ? "PRIORITY=3" : "PRIORITY=6",
                                  "SYSLOG_IDENTIFIER=tessel"};
  // Names as they are, so that a search for a name finds it.
  if (!group.empty()) fields.push_back("TESSEL_GROUP=" + platform::Cp1251ToUtf8(group));
  if (!file.empty()) fields.push_back("TESSEL_FILE=" + platform::Cp1251ToUtf8(file));
  if (code != 0) fields.push_back("TESSEL_CODE=" + std::to_string(code));
  return fields;
}

void TConsoleLog::AddLine(const std::string& line, TLogKind kind) {
  // A journal that refuses the entry leaves the line to standard output.
  if (journal_ && journal_(JournalFields(line, kind, group_, file_, code_)) == 0) return;
  static const bool discarded = platform::StandardOutputIsDiscarded();
  if (!discarded) PrintLine(OneLine(line));
}

void TConsoleLog::Subject(const std::string& group, const std::string& file) {
  if (group != group_ || file != file_) code_ = 0;
  group_ = group;
  file_ = file;
}

void TConsoleLog::NoteFailure(const TFailureEvent& event) {
  if (event.Group == group_ && event.File == file_) code_ = event.Code;
}
