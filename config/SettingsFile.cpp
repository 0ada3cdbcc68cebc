// The whole script in the settings file: load and save of the registry, its
// groups and their steps. A step kind names its own keys (ExchangeKeys).
#include "config/SettingsFile.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/uIniUtil.h"
#include "engine/StepKeys.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/Profile.h"

namespace {
std::string MainSection(const std::string& group) {
  return group + "\\MAIN";
}
constexpr std::string_view kActionMark = "\\ACTION_";
std::string ActionPrefix(const std::string& group) {
  return group + std::string(kActionMark);
}

// A line of "LIST" names a group by its text after the first "=".
std::string NameOfListLine(const std::string& line) {
  const size_t eq = line.find('=');
  return eq == std::string::npos ? line : line.substr(eq + 1);
}

// A group's step sections are the sections whose names start with the group's
// name followed by "\ACTION_". Every section is filed here under each name it
// can start that way (one per "\ACTION_" it holds), in file order, so that a
// whole script's groups find their steps in one pass over the section names.
class StepSections {
 public:
  explicit StepSections(const std::vector<std::string>& sections) {
    for (const std::string& section : sections)
      for (size_t at = section.find(kActionMark); at != std::string::npos;
           at = section.find(kActionMark, at + 1))
        byGroup_[section.substr(0, at)].push_back(&section);
  }
  const std::vector<const std::string*>& Of(const std::string& group) const {
    static const std::vector<const std::string*> none;
    auto it = byGroup_.find(group);
    return it == byGroup_.end() ? none : it->second;
  }

 private:
  std::unordered_map<std::string, std::vector<const std::string*>> byGroup_;
};

// A step's own keys in one section.
class KeyReader : public TStepKeys {
 public:
  KeyReader(const std::string& file, const std::string& section) : file_(file), section_(section) {}
  void Text(const TStepField& field, std::string& value) override {
    value = ReadIniString(section_, field.Key, "", file_);
  }
  void Integer(const TStepField& field, int32_t& value) override {
    value = ReadIniInteger(section_, field.Key, field.Missing, file_);
  }

 private:
  const std::string& file_;
  const std::string& section_;
};

class KeyWriter : public TStepKeys {
 public:
  KeyWriter(const std::string& file, const std::string& section) : file_(file), section_(section) {}
  void Text(const TStepField& field, std::string& value) override {
    written_ = WriteIniString(section_, field.Key, value, file_) && written_;
  }
  void Integer(const TStepField& field, int32_t& value) override {
    written_ = WriteIniInteger(section_, field.Key, value, file_) && written_;
  }
  bool Written() const { return written_; }

 private:
  const std::string& file_;
  const std::string& section_;
  bool written_ = true;
};

// The group's fields and its steps from the given step sections, in their
// order. False when a step's kind is one the registry cannot make: the step is
// logged and left out. Every step left out is added to skipped, when given.
bool LoadGroup(TTesselActionList& group, const std::string& FileName,
               const std::vector<const std::string*>& stepSections,
               std::vector<TTesselGroups::TSkippedStep>* skipped = nullptr) {
  group.ClearActions();
  const std::string main = MainSection(group.Name);
  group.SourceMask = ReadIniString(main, "SOUR_FILE_MASK", "", FileName);
  group.DestFolder = ReadIniString(main, "DEST_FOLDER", "", FileName);
  group.BadFolder = ReadIniString(main, "BAD_FOLDER", "", FileName);
  group.Enabled = ReadIniBool(main, "ENABLE", false, FileName);
  group.SettleSeconds = std::max<int32_t>(0, ReadIniInteger(main, "SETTLE_TIME", 0, FileName));
  group.DuplicateDays = std::max<int32_t>(0, ReadIniInteger(main, "DUPLICATE_DAYS", 0, FileName));
  bool complete = true;
  int number = 0;
  for (const std::string* section : stepSections) {
    ++number;
    const int32_t code = ReadIniInteger(*section, "ACTION_TYPE", -1, FileName);
    const auto skip = [&] {
      if (skipped) skipped->push_back({group.Name, number, code, *section});
    };
    // Codes outside the specified kinds are passed over without a word,
    // unless this program has a kind of that code.
    if ((code < kKindSign || code > kKindNone) && !group.Kinds().Has(code)) {
      skip();
      continue;
    }
    if (TTesselAction* step = group.CreateAction(code)) {
      LoadFromIni(*step, FileName, *section);
    } else {
      WriteFailureLog({"Неизвестный вид действия", *section, std::to_string(code)});
      skip();
      complete = false;
    }
  }
  return complete;
}
}  // namespace

void LoadFromIni(TTesselAction& step, const std::string& FileName, const std::string& Section) {
  KeyReader own(FileName, Section);
  step.ExchangeKeys(own);
  step.CopyTo = ReadIniString(Section, "COPY_TO", "", FileName);
  step.Enabled = ReadIniBool(Section, "ENABLE", false, FileName);
}

bool SaveToIni(TTesselAction& step, const std::string& FileName, const std::string& Section) {
  KeyWriter own(FileName, Section);
  step.ExchangeKeys(own);
  bool written = own.Written();
  written = WriteIniString(Section, "COPY_TO", step.CopyTo, FileName) && written;
  written = WriteIniBool(Section, "ENABLE", step.Enabled, FileName) && written;
  return written;
}

void LoadFromIni(TTesselGroups& script, const std::string& FileName) {
  // Read the file once: every value of the load comes from the same state of it.
  platform::ProfileBatch snapshot(FileName, platform::ProfileBatch::Mode::Snapshot);
  script.ClearGroups();
  script.LostStepsFile.clear();
  script.SkippedSteps.clear();
  script.PubKeysPath = ReadIniString("MAIN", "PUBKEYS", "", FileName);
  script.SecKeysPath = ReadIniString("MAIN", "SECKEYS", "", FileName);
  std::vector<std::string> lines;
  ReadSectionLines("LIST", lines, FileName);
  // Within the snapshot every group would list the same section names: list
  // them once, so that the load grows with the file and not with its square.
  std::vector<std::string> sections;
  ReadSectionNames(sections, FileName);
  const StepSections steps(sections);
  // Groups come in the order of the lines; their keys are not looked at.
  for (const std::string& line : lines) {
    TTesselActionList* group = script.AddGroup(NameOfListLine(line));
    if (!LoadGroup(*group, FileName, steps.Of(group->Name), &script.SkippedSteps))
      script.LostStepsFile = FileName;
  }
}

bool SaveToIni(const TTesselGroups& script, const std::string& FileName) {
  // The file holds steps this registry could not load: saving over it would
  // lose them without a word.
  if (!script.LostStepsFile.empty() && script.LostStepsFile == FileName) {
    WriteFailureLog({"Сохранение настроек - отказ", FileName,
                     "Сценарий прочитан не полностью: есть действия неизвестного вида"});
    return false;
  }
  // The new script is built in memory from nothing and then replaces the file
  // in one step: the file on disk is always the whole old or the whole new
  // script, and nothing of a deleted group or step can survive.
  platform::ProfileBatch batch(FileName, platform::ProfileBatch::Mode::Rewrite);
  // Inside the batch a write only edits the new text in memory. One it
  // refuses (a name the format cannot keep) leaves its key out, as it always
  // has; the replacement of the file is the failure that is reported.
  (void)WriteIniString("MAIN", "PUBKEYS", script.PubKeysPath, FileName);
  (void)WriteIniString("MAIN", "SECKEYS", script.SecKeysPath, FileName);
  for (int i = 0; i < script.GroupCount(); ++i) {
    const TTesselActionList* group = script.GetGroup(i);
    (void)WriteIniString("LIST", std::to_string(i), group->Name, FileName);
    (void)SaveToIni(*group, FileName);
  }
  if (int error = batch.Commit()) {
    WriteFailureLog({"Сохранение настроек - ошибка", FileName, platform::ErrorText(error)});
    return false;
  }
  return true;
}

void LoadFromIni(TTesselActionList& group, const std::string& FileName) {
  // Steps come in the order their sections stand in the file; the number
  // after the prefix is not read. The prefix matches byte for byte.
  std::vector<std::string> sections;
  ReadSectionNames(sections, FileName);
  const std::string prefix = ActionPrefix(group.Name);
  std::vector<const std::string*> steps;
  for (const std::string& section : sections)
    if (section.starts_with(prefix)) steps.push_back(&section);
  LoadGroup(group, FileName, steps);  // a lost step is logged there
}

bool SaveToIni(const TTesselActionList& group, const std::string& FileName) {
  const std::string main = MainSection(group.Name);
  bool written = true;
  written = WriteIniString(main, "SOUR_FILE_MASK", group.SourceMask, FileName) && written;
  written = WriteIniString(main, "DEST_FOLDER", group.DestFolder, FileName) && written;
  written = WriteIniString(main, "BAD_FOLDER", group.BadFolder, FileName) && written;
  written = WriteIniBool(main, "ENABLE", group.Enabled, FileName) && written;
  // Written only when set, so a script without it keeps its old bytes.
  if (group.SettleSeconds != 0)
    written = WriteIniInteger(main, "SETTLE_TIME", group.SettleSeconds, FileName) && written;
  if (group.DuplicateDays != 0)
    written = WriteIniInteger(main, "DUPLICATE_DAYS", group.DuplicateDays, FileName) && written;
  const std::string prefix = ActionPrefix(group.Name);
  for (int n = 0; n < group.ActionCount(); ++n) {
    TTesselAction* step = group.GetAction(n);
    const std::string section = prefix + std::to_string(n);
    written = WriteIniInteger(section, "ACTION_TYPE", step->GetKind(), FileName) && written;
    written = SaveToIni(*step, FileName, section) && written;
  }
  return written;
}
