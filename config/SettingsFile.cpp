// The whole script in the settings file: load and save of the registry and of
// its groups. Steps read and write their own sections (LoadFromIni/SaveToIni).
#include <algorithm>
#include <string>
#include <vector>

#include "config/uIniUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/Profile.h"

namespace {
std::string MainSection(const std::string& group) {
  return group + "\\MAIN";
}
std::string ActionPrefix(const std::string& group) {
  return group + "\\ACTION_";
}
}  // namespace

void TTesselGroups::LoadFromIni(const std::string& FileName) {
  // Read the file once: every value of the load comes from the same state of it.
  platform::ProfileBatch snapshot(FileName, platform::ProfileBatch::Mode::Snapshot);
  ClearGroups();
  PubKeysPath = ReadIniString("MAIN", "PUBKEYS", "", FileName);
  SecKeysPath = ReadIniString("MAIN", "SECKEYS", "", FileName);
  std::vector<std::string> lines;
  ReadSectionLines("LIST", lines, FileName);
  // Groups come in the order of the lines; their keys are not looked at.
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    AddGroup(eq == std::string::npos ? line : line.substr(eq + 1))->LoadFromIni(FileName);
  }
}

bool TTesselGroups::SaveToIni(const std::string& FileName) const {
  // The new script is built in memory from nothing and then replaces the file
  // in one step: the file on disk is always the whole old or the whole new
  // script, and nothing of a deleted group or step can survive.
  platform::ProfileBatch batch(FileName, platform::ProfileBatch::Mode::Rewrite);
  WriteIniString("MAIN", "PUBKEYS", PubKeysPath, FileName);
  WriteIniString("MAIN", "SECKEYS", SecKeysPath, FileName);
  for (int i = 0; i < GroupCount(); ++i) {
    const TTesselActionList* group = GetGroup(i);
    WriteIniString("LIST", std::to_string(i), group->Name, FileName);
    group->SaveToIni(FileName);
  }
  if (int error = batch.Commit()) {
    WriteFailureLog({"Сохранение настроек - ошибка", FileName, platform::ErrorText(error)});
    return false;
  }
  return true;
}

void TTesselActionList::LoadFromIni(const std::string& FileName) {
  ClearActions();
  const std::string main = MainSection(Name);
  SourceMask = ReadIniString(main, "SOUR_FILE_MASK", "", FileName);
  DestFolder = ReadIniString(main, "DEST_FOLDER", "", FileName);
  BadFolder = ReadIniString(main, "BAD_FOLDER", "", FileName);
  Enabled = ReadIniBool(main, "ENABLE", false, FileName);
  SettleSeconds = std::max<int32_t>(0, ReadIniInteger(main, "SETTLE_TIME", 0, FileName));

  // Steps come in the order their sections stand in the file; the number
  // after the prefix is not read. The prefix matches byte for byte.
  std::vector<std::string> sections;
  ReadSectionNames(sections, FileName);
  const std::string prefix = ActionPrefix(Name);
  for (const std::string& section : sections) {
    if (!section.starts_with(prefix)) continue;
    const int32_t code = ReadIniInteger(section, "ACTION_TYPE", -1, FileName);
    if (code < kKindSign || code > kKindNone) continue;
    if (TTesselAction* step = CreateAction(code)) step->LoadFromIni(FileName, section);
  }
}

void TTesselActionList::SaveToIni(const std::string& FileName) const {
  const std::string main = MainSection(Name);
  WriteIniString(main, "SOUR_FILE_MASK", SourceMask, FileName);
  WriteIniString(main, "DEST_FOLDER", DestFolder, FileName);
  WriteIniString(main, "BAD_FOLDER", BadFolder, FileName);
  WriteIniBool(main, "ENABLE", Enabled, FileName);
  // Written only when set, so a script without it keeps its old bytes.
  if (SettleSeconds != 0) WriteIniInteger(main, "SETTLE_TIME", SettleSeconds, FileName);
  const std::string prefix = ActionPrefix(Name);
  for (int n = 0; n < ActionCount(); ++n) {
    const TTesselAction* step = GetAction(n);
    const std::string section = prefix + std::to_string(n);
    WriteIniInteger(section, "ACTION_TYPE", step->GetKind(), FileName);
    step->SaveToIni(FileName, section);
  }
}
