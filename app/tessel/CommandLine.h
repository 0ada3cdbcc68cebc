// The command line of tessel: one command, its options and their checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Exit statuses shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFilesFailed = 1;  // once: a file went to bad or was left; check: an error
inline constexpr int kExitOperational = 2;  // usage, settings, lock, library

enum class TCommand { None, Run, Once, List, Check, History, Help, Version };

// history: which records, and how they are shown. Texts are Windows-1251.
struct THistoryQuery {
  std::string Name;  // a mask or a whole name; a whole name shows each road in full
  std::string Group, Sha256, Outcome;
  int64_t From = 0, To = 0;  // seconds since the epoch; 0: open
  enum class Format { Table, Json, Csv } Shape = Format::Table;
  bool Verify = false;
};

struct TCommandLine {
  TCommand Command = TCommand::None;
  // Windows-1251, as the system keeps paths. Empty: not given.
  std::string SettingsFile;
  // check: further scripts of this machine, checked with SettingsFile.
  std::vector<std::string> MoreSettingsFiles;
  std::string MetricsFile;
  // run, once: the command run when a failure starts (Windows-1251); empty:
  // the script's own (ON_FAILURE), if any.
  std::string OnFailure;
  // run: a library that does not open ends the start with kExitOperational.
  bool Strict = false;
  // list: the groups to show (any, enabled or not); empty: every enabled group.
  std::vector<std::string> Groups;
  THistoryQuery History;
  // Set when the command line cannot be used; the message for the operator.
  std::string Error;
};

// argv holds the terminal's UTF-8 (argv[0] is the program).
TCommandLine ParseCommandLine(int argc, const char* const* argv);

// The help text (Windows-1251, like every text of the system).
std::string UsageText();
std::string VersionText();

// The window program's settings file in the program's folder:
// "/opt/tessel/bin/tessel" gives "/opt/tessel/bin/TesselScripts.ini".
std::string DefaultSettingsFile(const std::string& programPath);
