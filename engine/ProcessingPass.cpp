// The processing pass: every matching source file of every enabled group is
// copied into private working folders, run through the group's enabled steps
// and delivered. A file is never lost: a source file is deleted only once its
// result is on the disk where it was delivered, and the only copy of a file is
// never removed.
//
// Durability costs one flush per group pass instead of one per file: sources
// stay in place while the group's files are processed, then every folder that
// received a file is flushed, and only then are the sources deleted. A crash
// before that leaves the sources where they were, to be processed again.
#include <cerrno>
#include <chrono>
#include <set>

#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

namespace {

const std::string kGroupSeparator(55, '*');
const std::string kFileSeparator(55, '=');

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

// A source file whose content was taken, to be deleted at the end of the
// group's pass once its result is safe.
struct TakenSource {
  std::string path;
  platform::FileStat stat;  // as it was when copied
  std::string deliveredTo;  // folder that received the result; empty when kept
  bool keptUnsafe = false;  // kept in its working folder, but not flushed to the disk
};

bool SameFile(const platform::FileStat& a, const platform::FileStat& b) {
  return a.size == b.size && a.mtimeNs == b.mtimeNs && a.inode == b.inode && a.device == b.device;
}

// Copies the source into its working folder. On failure the source stays
// where it was for a later pass and the reason is logged.
bool TakeFile(const std::string& source, const std::string& work, int workError,
              const std::string& name, platform::FileStat& stat) {
  int err = work.empty() ? workError : platform::StatPath(source, stat);
  // The listing saw a regular file; whatever has taken its name since is not taken.
  if (err == 0)
    err = platform::CopyFile(source, work, platform::Durability::Buffered,
                             platform::SourceLink::Refuse);
  if (err != 0) {
    WriteLog({"Файл не взят в обработку", Quoted(name), platform::ErrorText(err)});
    return false;
  }
  platform::FileStat after;
  if (platform::StatPath(source, after) != 0 || !SameFile(after, stat)) {
    // Still being written: the copy may be torn. Leave it for the next pass.
    platform::DeleteFile(work);
    WriteLog({"Файл изменился во время копирования, оставлен до следующего прохода", Quoted(name)});
    return false;
  }
  return true;
}

// Copies the working file into a folder under its own name and drops the
// working copy (the source still exists). An empty folder name is "not set",
// never the file system's root.
int Deliver(const std::string& work, const std::string& folder, const std::string& name,
            std::string& target) {
  target = IncludeTrailingDelimiter(folder) + name;
  if (folder.empty()) return ENOENT;
  const int err = platform::CopyFile(work, target, platform::Durability::Buffered);
  if (err == 0) platform::DeleteFile(work);
  return err;
}

// Runs one file through the group. Returns false when the source was not taken.
bool ProcessFile(TTesselActionList& group, const std::string& path, TakenSource& taken,
                 TPassCounts& counts) {
  const std::string name = ExtractFileName(path);
  WriteLog({kFileSeparator});
  WriteLog({"Начало обработки файла", Quoted(name)});

  TTempFileList& temp = group.TempFiles;
  temp.CurrentName = name;
  int workError = 0;
  std::string work = temp.NewWorkPath(&workError);
  taken.path = path;
  if (!TakeFile(path, work, workError, name, taken.stat)) {
    ++counts.Left;
    WriteLog({"Конец обработки файла", Quoted(name)});
    return false;
  }
  ++counts.Taken;

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
    if (err == 0) {
      taken.deliveredTo = group.DestFolder;
      ++counts.Delivered;
    }
    if (err != 0) {
      WriteLog({"Ошибка переноса в", target, platform::ErrorText(err)});
      ok = false;
    }
  }
  if (!ok) {
    WriteLog({"Перенос в ошибки"});
    err = Deliver(work, group.BadFolder, name, target);
    if (err == 0) {
      taken.deliveredTo = group.BadFolder;
      ++counts.Bad;
    }
  }
  if (err != 0) {
    // Nowhere to deliver: the working file becomes the file's only copy.
    temp.Keep(work);
    ++counts.Left;
    taken.keptUnsafe = platform::SyncFile(work) != 0;
    WriteLog({"Файл оставлен в", work, platform::ErrorText(err)});
  }
  WriteLog({"Конец обработки файла", Quoted(name)});
  return true;
}

// Flushes every folder that received a file, then deletes the sources whose
// results are safe and which nobody has changed since they were taken. A
// source that cannot be deleted stays and is taken again on the next pass.
void ReleaseSources(const std::vector<TakenSource>& taken, TPassCounts&) {
  std::set<std::string> flushed, failed;
  for (const TakenSource& source : taken) {
    const std::string& folder = source.deliveredTo;
    if (folder.empty() || flushed.count(folder) || failed.count(folder)) continue;
    if (int err = platform::SyncFileSystem(folder)) {
      WriteLog({"Ошибка записи на диск", folder, platform::ErrorText(err)});
      failed.insert(folder);
    } else {
      flushed.insert(folder);
    }
  }
  for (const TakenSource& source : taken) {
    // Not safe yet: the source stays and is processed again next pass.
    if (source.keptUnsafe || failed.count(source.deliveredTo)) continue;
    platform::FileStat now;
    if (platform::StatPath(source.path, now) != 0 || !SameFile(now, source.stat)) continue;
    platform::DeleteFile(source.path);
  }
}

}  // namespace

bool TTesselActionList::ProcessGroup(const TPassControl& control) {
  const auto started = std::chrono::steady_clock::now();
  LastPass = {};
  std::string folder, maskText;
  SplitSourceMask(SourceMask, folder, maskText);

  std::vector<std::string> files;
  // A missing folder gives no files.
  LastPass.SourceMissing = folder.empty() || !FindFiles(folder, maskText, files);
  LastPass.Found = static_cast<int>(files.size());
  if (!files.empty()) {
    WriteLog({kGroupSeparator});
    WriteLog({Name});
  }
  std::vector<TakenSource> taken;
  for (size_t i = 0; i < files.size(); ++i) {
    if (control.Stop && control.Stop->load()) {
      LastPass.Left += static_cast<int>(files.size() - i);  // not taken: waits in the source folder
      break;
    }
    if (control.OnFileStart) control.OnFileStart(static_cast<int>(i) + 1, LastPass.Found);
    TakenSource source;
    if (ProcessFile(*this, files[i], source, LastPass)) taken.push_back(std::move(source));
  }
  ReleaseSources(taken, LastPass);
  TempFiles.Cleanup();
  LastPass.DurationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
  LastPass.EndTime = std::time(nullptr);
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
  for (int i = 0; i < count && !StopRequested(); ++i) {
    TTesselActionList* group = GetGroup(i);
    if (!group || !group->Enabled) continue;
    TPassControl control;
    control.Stop = &stopRequested_;
    if (OnFileStart)
      control.OnFileStart = [this, i](int file, int files) { OnFileStart(i, file, files); };
    group->ProcessGroup(control);
  }
  return true;
}
