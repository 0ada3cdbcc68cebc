// The processing pass: every matching source file of every enabled group is
// taken into private working folders, run through the group's enabled steps
// and delivered. A file is never lost: its only copy is never removed.
#include <cerrno>

#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

namespace {

const std::string kGroupSeparator(55, '*');
const std::string kFileSeparator(55, '=');

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Copies the source into its working folder and removes it from the source
// folder. On failure the source stays where it was for a later pass and the
// reason is logged.
bool TakeFile(const std::string& source, const std::string& work, int workError,
              const std::string& name) {
  platform::FileStat before;
  int err = work.empty() ? workError : platform::StatPath(source, before);
  if (err == 0) err = platform::CopyFile(source, work, platform::Durability::Synced);
  if (err != 0) {
    WriteLog({"Файл не взят в обработку", Quoted(name), platform::ErrorText(err)});
    return false;
  }
  platform::FileStat after;
  if (platform::StatPath(source, after) != 0 || after.size != before.size ||
      after.mtimeNs != before.mtimeNs) {
    // Still being written: the copy may be torn. Leave it for the next pass.
    platform::DeleteFile(work);
    WriteLog({"Файл изменился во время копирования, оставлен до следующего прохода",
              Quoted(name)});
    return false;
  }
  // A source that cannot be deleted stays and is taken again next pass.
  platform::DeleteFile(source);
  return true;
}

// Moves the working file into a folder under its own name. An empty folder
// name is "not set", never the file system's root.
int Deliver(const std::string& work, const std::string& folder, const std::string& name,
            std::string& target) {
  target = IncludeTrailingDelimiter(folder) + name;
  if (folder.empty()) return ENOENT;
  int err = 0;
  TTesselActionList::MoveFileTo(work, target, &err);
  return err;
}

void ProcessFile(TTesselActionList& group, const std::string& path) {
  const std::string name = ExtractFileName(path);
  WriteLog({kFileSeparator});
  WriteLog({"Начало обработки файла", Quoted(name)});

  TTempFileList& temp = group.TempFiles;
  temp.CurrentName = name;
  int workError = 0;
  std::string work = temp.NewWorkPath(&workError);
  if (!TakeFile(path, work, workError, name)) {
    WriteLog({"Конец обработки файла", Quoted(name)});
    return;
  }

  bool ok = true;
  const int count = group.ActionCount();
  for (int i = 0; i < count; ++i) {
    TTesselAction* step = group.GetAction(i);
    if (!step || !step->Enabled) continue;
    int err = 0;
    std::string out = temp.NewWorkPath(&err);
    if (out.empty()) {
      WriteLog({"Ошибка создания рабочей папки", platform::ErrorText(err)});
      ok = false;
      break;
    }
    ok = step->Execute(work, out);
    if (!ok) break;
    work = out;
  }

  std::string target;
  int err = 0;
  if (ok) {
    err = Deliver(work, group.DestFolder, name, target);
    if (err != 0) {
      WriteLog({"Ошибка переноса в", target, platform::ErrorText(err)});
      ok = false;
    }
  }
  if (!ok) {
    WriteLog({"Перенос в ошибки"});
    err = Deliver(work, group.BadFolder, name, target);
  }
  if (err != 0) {
    // Nowhere to deliver: the working file is the only copy, so it stays.
    temp.Keep(work);
    WriteLog({"Файл оставлен в", work, platform::ErrorText(err)});
  }
  WriteLog({"Конец обработки файла", Quoted(name)});
}

}  // namespace

bool TTesselActionList::ProcessGroup() {
  const auto cut = SourceMask.rfind(platform::kPathDelimiter);
  const std::string folder = cut == std::string::npos ? "" : SourceMask.substr(0, cut + 1);
  const std::string maskText = cut == std::string::npos ? SourceMask : SourceMask.substr(cut + 1);

  std::vector<std::string> files;
  if (!folder.empty()) FindFiles(folder, maskText, files);  // a missing folder gives no files
  if (!files.empty()) {
    WriteLog({kGroupSeparator});
    WriteLog({Name});
  }
  for (const std::string& path : files) ProcessFile(*this, path);
  TempFiles.Cleanup();
  return true;
}

bool TTesselGroups::RunAllGroups() {
  // Passes share the groups' working-file lists: a pass begun inside another
  // (say, from a message loop run by a step) must not clean up the outer one's files.
  static bool running = false;
  if (running) return true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{running = true};
  const int count = GroupCount();
  for (int i = 0; i < count; ++i) {
    TTesselActionList* group = GetGroup(i);
    if (group && group->Enabled) group->ProcessGroup();
  }
  return true;
}
