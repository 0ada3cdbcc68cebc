// "tessel check": the script held against this machine. One finding per
// problem; errors stop a pass from doing its work, warnings may be meant.
#pragma once

#include <string>
#include <vector>

class TTesselGroups;

enum class TSeverity { Error, Warning };

struct TFinding {
  TSeverity Severity;
  std::string Text;  // Windows-1251, naming the group and step it is about
};

// Checks every enabled group's folders, mask, steps and keys, every group's
// name, the key folders, and the files a runner of this settings file
// writes beside it. Opens the library for the key checks (and closes it);
// writes no log line. A secret key is tried by signing a small file in a
// working folder of its own, which is removed.
std::vector<TFinding> CheckScript(const TTesselGroups& registry, const std::string& settingsFile);

// A source folder an enabled group takes files from, for checking several
// scripts of one machine together.
struct TSourceOwner {
  std::string SettingsFile;
  std::string Group;
  std::string Folder;
};
std::vector<TSourceOwner> SourceOwners(const TTesselGroups& registry, const std::string& settingsFile);
// An error for each source folder that groups of two different scripts take
// files from: each script's runner would deliver the same file.
std::vector<TFinding> SharedSourceFolders(const std::vector<TSourceOwner>& owners);

// "ошибка: ..." or "предупреждение: ...".
std::string FindingLine(const TFinding& finding);
// The report as tessel check prints it and the window shows it: one line per
// finding, then "Итого: ошибок N, предупреждений M.".
std::vector<std::string> CheckReportLines(const std::vector<TFinding>& findings);
bool HasErrors(const std::vector<TFinding>& findings);
