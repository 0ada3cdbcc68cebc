#include "engine/LogEscape.h"
#include "engine/uTesselTypes.h"
#include "platform/Clock.h"
#include "platform/Files.h"

TLogTarget* LogTarget = nullptr;

namespace {

std::string& LogPathOverride() {
  static std::string path;
  return path;
}

std::function<std::tm()>& LogClock() {
  static std::function<std::tm()> clock;
  return clock;
}

}  // namespace

std::string LogFilePath() {
  if (!LogPathOverride().empty()) return LogPathOverride();
  return platform::ReplaceExtension(platform::ProgramPath(), ".log");
}

void SetLogFilePath(const std::string& path) {
  LogPathOverride() = path;
}

void SetLogClock(std::function<std::tm()> clock) {
  LogClock() = std::move(clock);
}

void WriteLog(const std::vector<std::string>& fields) {
  WriteLog(TLogKind::Normal, fields);
}

std::string LogLine(const std::vector<std::string>& fields) {
  const std::tm now = LogClock() ? LogClock()() : platform::LocalNow();
  std::string line = platform::FormatTimestamp(now);
  for (const std::string& field : fields) {
    line += '\t';
    line += EscapeLogField(field);  // one event, one line, whatever a name holds
  }
  return line;
}

void WriteLog(TLogKind kind, const std::vector<std::string>& fields) {
  const std::string line = LogLine(fields);
  // One write per line, so lines of two writers never mix. A file that
  // cannot be opened loses the line, on screen as well; write errors after
  // opening are ignored.
  bool opened = false;
  (void)platform::AppendToFile(LogFilePath(), line + "\r\n", &opened);
  if (opened && LogTarget) LogTarget->AddLine(line, kind);
}

void WriteLog(std::initializer_list<std::string> fields) {
  WriteLog(TLogKind::Normal, std::vector<std::string>(fields));
}

void WriteFailureLog(std::initializer_list<std::string> fields) {
  WriteLog(TLogKind::Failure, std::vector<std::string>(fields));
}

void LogIndexOutOfRange(int index, int count) {
  WriteLog({"Попытка доступа к элементу №" + std::to_string(index) +
            ". Количество элементов = " + std::to_string(count)});
}
