// The processing pass: every matching source file of every enabled group is
// copied into private working folders, run through the group's enabled steps
// and delivered.
//
// A source file leaves its folder only once its result is on the disk in the
// destination or the bad-files folder. Durability costs one flush per group
// pass instead of one per file: sources stay in place while the group's files
// are processed, then every folder that received a file is flushed, and only
// then are the sources deleted. A crash before that leaves the sources where
// they were; the delivery journal (DeliveryJournal.h) tells the next pass
// which of them were delivered already, so none is delivered twice.
//
// A step that fails sends its input to the bad-files folder, unless it failed
// on its working files (no room in the temp folder, an I/O error there): then
// the file waits in its source folder like one whose delivery was refused. A delivery that
// fails (the folder missing, full, read-only or failing) sends nothing
// anywhere: the source stays for a later pass, which tries again once the
// folder looks able to take it, without filling the log meanwhile.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "engine/DeliveryJournal.h"
#include "engine/FileRoad.h"
#include "engine/LineBuffer.h"
#include "engine/LineTap.h"
#include "engine/PassContext.h"
#include "engine/Readiness.h"
#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "masks/FileMask.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/WorkFolders.h"
#include "platform/Writers.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kGroupSeparator(55, '*');
const std::string kFileSeparator(55, '=');
// Room kept free in the temp folder beyond a file's own copies.
constexpr uint64_t kTempMargin = 1 << 20;
// Up to this size a take that no step reads by name may be unnamed: the
// history's digest is made of its buffer, never by reading the file again.
constexpr uint64_t kUnnamedTakeBytes = 1 << 20;
// Retries of a refused delivery that met the fault again wait this long,
// doubled each time up to the limit.
constexpr auto kFirstBackoff = std::chrono::seconds(30);
constexpr auto kMaxBackoff = std::chrono::hours(1);

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

// A source file whose content was taken, to be deleted at the end of the
// group's pass once its result is safe.
struct TakenSource {
  std::string path;
  platform::FileStat stat;  // as it was when copied
  std::string deliveredTo;  // folder that received the result; empty: none did
  // Open since its take, without a lease, for the writers' check before its
  // deletion; null: opened again then.
  std::shared_ptr<platform::OpenedFile> open;
};

// Held: a key or library fault (not the file's) keeps it in its source folder.
// Rehearsed: a rehearsal's steps went otherwise than held; nothing delivered.
enum class Outcome { NotTaken, Delivered, Bad, Refused, Held, Rehearsed };

struct FileResult {
  Outcome outcome = Outcome::NotTaken;
  std::string refusedFolder;  // Refused, or NotTaken for want of temp space
  uint64_t bytes = 0;         // what it needs there
  int error = 0;              // why the folder refused it
  bool passedOn = false;      // Delivered into another group's source folder
  std::string target;         // Delivered, Bad: where it went
  std::string resultWork;     // Delivered, Bad: the working file delivered
  // Bad or Held: the failed step's code and what it says (Held: what to mend).
  int code = 0;
  std::vector<std::string> reason;
  // Bad: the duplicate guard's earlier delivery of the same bytes.
  std::optional<TRoadEarlier> duplicate;
};

bool SameFile(const platform::FileStat& a, const platform::FileStat& b) {
  return a.size == b.size && a.mtimeNs == b.mtimeNs && a.inode == b.inode && a.device == b.device;
}

bool IsSpaceError(int err) {
  return err == ENOSPC || err == EDQUOT;
}

// Copies the source into its working folder. On failure the source stays
// where it was for a later pass and the reason is logged. The source as the
// readiness check opened it is closed after the copy, or kept open without
// its lease when keepOpened.
bool TakeFile(const TPassContext& ctx, const std::string& source, const std::string& work,
              const platform::FolderHandle* workFolder, int workError, const std::string& name,
              const platform::FileStat* listed, platform::OpenedFile* opened, bool keepOpened,
              platform::FileStat& stat, int& err, platform::CopyTap* tap,
              platform::OpenedFile& copy, bool* unnamed) {
  // The readiness check has just looked at the file; else look now.
  err = work.empty() ? workError : listed ? (stat = *listed, 0) : platform::StatPath(source, stat);
  // A source leased through its copy cannot have changed during it.
  bool steady = false;
  // The listing saw a regular file; whatever has taken its name since is not taken.
  if (err == 0) {
    platform::CopyOptions options;
    options.link = platform::SourceLink::Refuse;
    options.privateTarget = true;  // the run's own folder
    options.privateFolder = workFolder;
    options.tap = tap;
    options.opened = opened;
    options.lendOpened = true;
    options.keepTarget = &copy;
    options.unnamed = unnamed;
    options.sourceSteady = &steady;
    err = platform::CopyFile(source, work, options);
  }
  if (opened) {
    if (keepOpened && err == 0)
      opened->DropLease();
    else
      opened->Close();
  }
  if (err != 0) {
    ctx.Failure({"Файл не взят в обработку", Quoted(name), platform::ErrorText(err)});
    return false;
  }
  platform::FileStat after;
  if (!steady && (platform::StatPath(source, after) != 0 || !SameFile(after, stat))) {
    // Still being written: the copy may be torn. Leave it for the next pass.
    if (opened) opened->Close();
    copy.Close();
    if (!(unnamed && *unnamed)) platform::DeleteFile(work);
    ctx.Failure(
        {"Файл изменился во время копирования, оставлен до следующего прохода", Quoted(name)});
    return false;
  }
  return true;
}

// Copies the working file into a folder under its own name, journalled and no
// more open than the source (the source still exists). An empty folder name is "not set", never the
// file system's root.
int Deliver(const std::string& work, const std::string& folder, const TakenSource& taken,
            const std::string& name, TDeliveryJournal& journal, std::string& target,
            std::set<TFileIdentity>* delivered, platform::CopyTap* tap,
            platform::OpenedFile* opened) {
  target = IncludeTrailingDelimiter(folder) + name;
  if (folder.empty()) return ENOENT;
  platform::CopyOptions options;
  options.modeCap = taken.stat.mode;
  const platform::CopyJournal record = journal.ForDelivery(taken.path, taken.stat, target);
  options.journal = &record;
  options.tap = tap;
  options.opened = opened;
  platform::FileStat result;
  options.made = &result;
  // The working file goes with the rest of the file's chain.
  const int err = platform::CopyFile(work, target, options);
  if (err == 0 && delivered)
    delivered->insert({result.device, result.inode, result.size, result.mtimeNs});
  return err;
}

// The temp folder's free space, asked again only when a second has passed or
// a file looks too large for it: every file's chain is gone before the next
// file is taken, so the pass itself does not use the space up.
class TempSpace {
 public:
  uint64_t Free(const std::string& temp, uint64_t needed, int& error) {
    const auto now = Clock::now();
    if (!known_ || now - at_ > std::chrono::seconds(1) || free_ < needed) {
      free_ = platform::FreeSpace(temp, &error_);
      at_ = now;
      known_ = true;
    }
    error = error_;
    return free_;
  }

 private:
  bool known_ = false;
  uint64_t free_ = 0;
  int error_ = 0;
  Clock::time_point at_;
};

// Whether every enabled step does nothing to the file (each may copy it).
bool OnlyDoNothingSteps(const TTesselActionList& group) {
  for (int i = 0; i < group.ActionCount(); ++i)
    if (const TTesselAction* step = group.GetAction(i);
        step && step->Enabled && step->GetKind() != kKindNone)
      return false;
  return true;
}

int EnabledSteps(const TTesselActionList& group) {
  int steps = 0;
  for (int i = 0; i < group.ActionCount(); ++i)
    if (const TTesselAction* step = group.GetAction(i); step && step->Enabled) ++steps;
  return steps;
}

// The file and one result per enabled step, with room to spare.
uint64_t TempBytesNeeded(const TTesselActionList& group, uint64_t fileSize) {
  return fileSize * static_cast<uint64_t>(EnabledSteps(group) + 1) + kTempMargin;
}

// Why the duplicate guard refused a file: the earlier delivery of its bytes.
std::string DuplicateReason(const TRoadEarlier& earlier) {
  return "Файл с тем же содержимым уже доставлен " + platform::FormatLocalTime(earlier.At) +
         " под именем " + Quoted(earlier.Name);
}

// Runs one file through the group.
// A rehearsal runs the steps without copies to their copy folders and
// delivers nothing: it only tells whether a fault that holds the group is
// still there.
FileResult ProcessFile(const TPassContext& ctx, TTesselActionList& group, const std::string& path,
                       const platform::FileStat* seen,
                       const std::shared_ptr<platform::OpenedFile>& opened, bool keepOpened,
                       TakenSource& taken, TDeliveryJournal& journal, TempSpace& space,
                       bool rehearsal = false) {
  FileResult result;
  const std::string name = ExtractFileName(path);
  ctx.Log->Subject(group.Name, name);
  ctx.Lines({{kFileSeparator}, {"Начало обработки файла", Quoted(name)}});
  auto end = [&](Outcome outcome) {
    result.outcome = outcome;
    ctx.EndLine({"Конец обработки файла", Quoted(name)});
    ctx.Log->Subject(group.Name, {});
    return result;
  };

  // The file and one result per step must fit in the temp folder, or a full
  // temp folder would make good files fail their steps.
  const std::string temp = ctx.Temp();
  platform::FileStat listed;
  if (seen ? (listed = *seen, true) : platform::StatPath(path, listed) == 0) {
    const uint64_t needed = TempBytesNeeded(group, listed.size);
    int spaceError = 0;
    const uint64_t free = space.Free(temp, needed, spaceError);
    if (spaceError == 0 && free < needed) {
      ctx.Failure({"Файл не взят в обработку", Quoted(name), platform::ErrorText(ENOSPC)});
      result.refusedFolder = temp;
      result.bytes = needed;
      return end(Outcome::NotTaken);
    }
  }

  TTempFileList& work = group.TempFiles;
  work.CurrentName = name;
  int workError = 0;
  const platform::FolderHandle* workFolder = nullptr;
  std::string current = work.NewWorkPath(&workError, &workFolder);
  taken.path = path;
  int takeError = 0;
  if (ctx.Activity) ctx.Doing("Копирование в рабочую папку", current, listed.size);
  platform::CopyTap* takingTap =
      ctx.Roads && !current.empty() ? ctx.Roads->Taking(current) : nullptr;
  // The copy stays open: delivered as taken (no step changed it), it is
  // read again without being opened again.
  platform::OpenedFile takenCopy;
  const std::string takenWork = current;
  // A small file that no step reads by its name is copied without one: it is
  // read from the copy kept open (and the history's buffer), and nothing is
  // left of it to delete, not even after a kill.
  bool unnamed = false;
  const bool mayBeUnnamed =
      !rehearsal && listed.size <= kUnnamedTakeBytes && OnlyDoNothingSteps(group);
  if (!TakeFile(ctx, path, current, workFolder, workError, name, seen, opened.get(), keepOpened,
                taken.stat, takeError, takingTap, takenCopy, mayBeUnnamed ? &unnamed : nullptr)) {
    if (IsSpaceError(takeError)) {
      result.refusedFolder = temp;
      result.bytes = listed.size + kTempMargin;
    }
    return end(Outcome::NotTaken);
  }

  if (unnamed) work.NotNamed(current);
  if (ctx.Roads)
    ctx.Roads->FileTaken({group.Name, path, current, taken.stat.size, taken.stat.mtimeNs});
  // The same bytes delivered by this group lately go, as taken, to the
  // bad-files folder (a payment sent twice). Without a history nothing is known.
  if (ctx.Roads && group.DuplicateDays > 0 && !rehearsal)
    result.duplicate = ctx.Roads->DeliveredBefore(group.DuplicateDays);
  // What a step writes goes into its road as well, when roads are kept.
  std::optional<TLineTap> tap;
  TPassContext tapped = ctx;
  if (ctx.Roads) tapped.Log = &tap.emplace(*ctx.Log);
  // Copies made by the steps are journalled and no more open than the source.
  TStepContext context{tapped, taken.stat.mode};
  context.Rehearsal = rehearsal;
  context.TakenWork = &takenWork;
  context.TakenCopy = &takenCopy;
  bool ok = true;
  const int count = result.duplicate ? 0 : group.ActionCount();
  for (int i = 0; i < count; ++i) {
    TTesselAction* step = group.GetAction(i);
    if (!step || !step->Enabled) continue;
    int err = 0;
    const std::string made = work.NewWorkPath(&err);
    if (made.empty()) {
      ctx.Failure({"Ошибка создания рабочей папки", platform::ErrorText(err)});
      context.NoteWorkingSpaceFault();
      ok = false;
      break;
    }
    std::string out = made;
    if (ctx.Activity) ctx.Doing(step->GetCaption(), out, taken.stat.size);
    context.KeysUsed.clear();
    ok = step->Run(context, current, out);
    if (ctx.Roads) {
      const bool copied = ok && !rehearsal && !step->CopyTo.empty();
      ctx.Roads->StepDone({step->GetKind(), step->GetCaption(), step->GetParamText(), ok,
                           ok ? 0 : context.FaultCode, tap->Take(),
                           copied ? IncludeTrailingDelimiter(step->CopyTo) + name : "",
                           context.KeysUsed});
    }
    if (!ok) break;
    if (out != made) work.Unused(made);  // the step passed a file on: its link stays free
    current = out;
  }

  // A step that failed for want of working space says nothing about the
  // file: it waits in its source folder until the temp folder can take it.
  if (rehearsal) {
    if (ok || !context.EnvironmentFault) return end(Outcome::Rehearsed);
    result.reason = context.FaultReason;
    return end(Outcome::Held);
  }
  if (!ok) {
    result.code = context.FaultCode;
    result.reason = context.FaultReason;
    // A key or the library failed, not the file: it waits for the mend.
    if (context.EnvironmentFault) {
      std::vector<std::string> line = context.FaultReason;
      ctx.Write(TLogKind::Failure, line);
      ctx.Failure({"Файл оставлен до устранения ошибки", Quoted(name)});
      return end(Outcome::Held);
    }
    // Room for one more result: this file's own working files are still there.
    const int probe = platform::ProbeFolder(temp, taken.stat.size + kTempMargin);
    if (context.WorkingSpaceFault || probe != 0) {
      result.error = probe ? probe : EIO;
      ctx.Failure({"Ошибка рабочей папки", temp, platform::ErrorText(result.error)});
      ctx.Failure({"Файл оставлен до следующего прохода", Quoted(name)});
      result.refusedFolder = temp;
      result.bytes = TempBytesNeeded(group, taken.stat.size);
      return end(Outcome::Refused);
    }
    ctx.Failure({"Перенос в ошибки"});
  }
  if (result.duplicate) {
    ok = false;
    result.reason = {DuplicateReason(*result.duplicate)};
    ctx.Failure({"Перенос в ошибки", result.reason.front()});
  }
  const std::string& folder = ok ? group.DestFolder : group.BadFolder;
  std::string target;
  if (ctx.Activity) ctx.Doing("Доставка", IncludeTrailingDelimiter(folder) + name, taken.stat.size);
  platform::CopyTap* deliveringTap = ctx.Roads ? ctx.Roads->Delivering(current) : nullptr;
  platform::OpenedFile* asTaken = current == takenWork ? &takenCopy : nullptr;
  if (int err = Deliver(current, folder, taken, name, journal, target, ctx.Delivered, deliveringTap,
                        asTaken)) {
    ctx.Failure({"Ошибка переноса в", target, platform::ErrorText(err)});
    ctx.Failure({"Файл оставлен до следующего прохода", Quoted(name)});
    result.refusedFolder = folder;
    result.bytes = taken.stat.size;
    result.error = err;
    return end(Outcome::Refused);
  }
  taken.deliveredTo = folder;
  if (opened && opened->IsOpen()) taken.open = opened;
  result.target = target;
  result.resultWork = current;
  result.passedOn =
      ok && ctx.TakenByAGroup && ctx.TakenByAGroup(IncludeTrailingDelimiter(folder), name);
  return end(ok ? Outcome::Delivered : Outcome::Bad);
}

// What a group is set to do, as a text: a fault noted under other settings
// (a folder or key edited since) is retried at once.
std::string SettingsText(const TTesselActionList& group) {
  std::string text = group.SourceMask + '\n' + group.DestFolder + '\n' + group.BadFolder;
  for (int i = 0; i < group.ActionCount(); ++i)
    if (const TTesselAction* step = group.GetAction(i); step && step->Enabled)
      text += '\n' + std::to_string(step->GetKind()) + '\t' + step->GetParamText() + '\t' +
              step->CopyTo;
  return text;
}

// Whether a file that a folder refused waits on: until its retry time, and
// while the folder still cannot take it. A file nobody refused never waits,
// nor one whose group has been set otherwise since.
bool StillRefused(const TPassContext& ctx, const TTesselActionList& group, const std::string& path,
                  const std::string& settings) {
  const auto fault = group.Run().DeliveryFaults.find(path);
  if (fault == group.Run().DeliveryFaults.end()) return false;
  if (fault->second.Settings != settings) return false;
  if (ctx.Time() < fault->second.RetryAt) return true;
  return platform::ProbeFolder(fault->second.Folder, fault->second.Bytes) != 0;
}

bool FolderRefusing(const TGroupRunState& run, const std::string& folder) {
  for (const auto& [path, fault] : run.DeliveryFaults)
    if (fault.Folder == folder) return true;
  return false;
}

TFailureEvent FolderEvent(const TPassContext& ctx, const TTesselActionList& group,
                          const std::string& folder, const std::string& name, int error) {
  TFailureEvent event;
  event.Group = group.Name;
  event.File = name;
  event.Reason = "Папка не принимает файлы: " + folder;
  if (error) event.Reason += " (" + platform::ErrorText(error) + ")";
  event.Code = error;
  event.Class = folder == ctx.Temp() ? TFailureClass::Environment : TFailureClass::Delivery;
  return event;
}

void NoteResult(const TPassContext& ctx, TTesselActionList& group, const std::string& path,
                const FileResult& result, const std::string& settings) {
  TGroupRunState& run = group.Run();
  auto fault = run.DeliveryFaults.find(path);
  if (result.outcome == Outcome::Delivered || result.outcome == Outcome::Bad) {
    if (fault != run.DeliveryFaults.end()) {
      const std::string folder = fault->second.Folder;
      ctx.Line({"Ошибка переноса устранена", folder, Quoted(ExtractFileName(path))});
      run.DeliveryFaults.erase(fault);
      if (!FolderRefusing(run, folder)) {
        TFailureEvent event = FolderEvent(ctx, group, folder, ExtractFileName(path), 0);
        event.Cleared = true;
        ctx.Tell(event);
      }
    }
    return;
  }
  if (result.refusedFolder.empty()) return;  // not taken for a reason of its own
  if (!FolderRefusing(run, result.refusedFolder)) {
    TFailureEvent event =
        FolderEvent(ctx, group, result.refusedFolder, ExtractFileName(path), result.error);
    event.Starts = true;
    ctx.Tell(event);
  }
  const bool first = fault == run.DeliveryFaults.end();
  TDeliveryFault& entry = run.DeliveryFaults[path];
  if (first) entry.Since = ctx.Time();
  if (entry.Settings != settings) entry.Retries = 0;  // a fault of new settings
  entry.Settings = settings;
  entry.Folder = result.refusedFolder;
  entry.Bytes = result.bytes;
  // The first refusal waits only for the folder; a retry that met the fault
  // again although the folder looked able waits longer each time.
  if (entry.Retries > 0) {
    const auto wait = std::min<Clock::duration>(
        kFirstBackoff * (1LL << std::min(entry.Retries - 1, 16)), kMaxBackoff);
    entry.RetryAt = ctx.Time() + wait;
  }
  ++entry.Retries;
}

std::string Joined(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& field : fields) text += (text.empty() ? "" : " ") + field;
  return text;
}

// A key or library fault starts holding the group's files.
void StartHold(const TPassContext& ctx, TTesselActionList& group, const std::string& path,
               const FileResult& result, uint64_t pass) {
  TGroupHold& hold = group.Run().Hold.emplace();
  hold.Reason = result.reason;
  hold.Code = result.code;
  hold.MetInPass = pass;
  hold.Since = ctx.Time();
  TFailureEvent event;
  event.Group = group.Name;
  event.File = ExtractFileName(path);
  event.Reason = Joined(result.reason);
  event.Code = result.code;
  event.Class = TFailureClass::Environment;
  event.Starts = true;
  ctx.Tell(event);
}

// The held file's road went otherwise: the fault has been mended.
void EndHold(const TPassContext& ctx, TTesselActionList& group, const std::string& name) {
  TGroupHold& hold = *group.Run().Hold;
  std::vector<std::string> line{"Ошибка устранена"};
  line.insert(line.end(), hold.Reason.begin(),
              hold.Reason.begin() + std::min<size_t>(2, hold.Reason.size()));
  line.push_back(Quoted(name));
  ctx.Write(TLogKind::Normal, line);
  TFailureEvent event;
  event.Group = group.Name;
  event.File = name;
  event.Reason = Joined(hold.Reason);
  event.Code = hold.Code;
  event.Class = TFailureClass::Environment;
  event.Cleared = true;
  group.Run().Hold.reset();
  ctx.Tell(event);
}

// A file sent to the bad-files folder; the first since a pass that sent
// none starts an episode.
void TellBad(const TPassContext& ctx, TTesselActionList& group, const std::string& path,
             const FileResult& result) {
  TFailureEvent event;
  event.Group = group.Name;
  event.File = ExtractFileName(path);
  event.Reason = result.reason.empty() ? "Перенос в ошибки" : Joined(result.reason);
  event.Code = result.code;
  event.Class = TFailureClass::File;
  event.Starts = !group.Run().BadEpisode;
  group.Run().BadEpisode = true;
  ctx.Tell(event);
}

// Flushes the journal's records of this pass's deliveries, then every folder
// that received a file, then deletes the sources whose results are safe and
// which nobody has changed since they were taken, and flushes those
// deletions. The records go first: a result may reach the disk on its own at
// any moment, and after a power cut recovery must find it recorded.
// False when a deletion may not have reached the disk: the journal must then
// keep its records. A source that cannot be deleted stays, is said in the
// log, and is taken again on the next pass.
bool ReleaseSources(const TPassContext& ctx, const std::vector<TakenSource>& taken,
                    TDeliveryJournal& journal) {
  if (taken.empty()) return true;  // only delivered sources are listed
  journal.Sync();
  std::set<std::string> flushed, failed;
  for (const TakenSource& source : taken) {
    const std::string& folder = source.deliveredTo;
    if (folder.empty() || flushed.count(folder) || failed.count(folder)) continue;
    if (int err = platform::SyncFileSystem(folder)) {
      ctx.Failure({"Ошибка записи на диск", folder, platform::ErrorText(err)});
      failed.insert(folder);
    } else {
      flushed.insert(folder);
    }
  }
  if (ctx.Roads) ctx.Roads->DeliveriesOnDisk();
  std::set<std::string> released;
  for (const TakenSource& source : taken) {
    if (source.deliveredTo.empty() || failed.count(source.deliveredTo)) continue;
    platform::FileStat now;
    if (platform::StatPath(source.path, now) != 0 || !SameFile(now, source.stat)) continue;
    // Its writer came back: what it writes now is a file for a later pass.
    // A lease got on the file kept open holds writers off until its deletion.
    if (platform::CheckWriters(source.path, source.open.get()) == platform::WriterState::Writing) {
      ctx.Line({"Исходный файл открыт для записи, оставлен до следующего прохода", source.path});
      continue;
    }
    const int err = platform::DeleteFile(source.path);
    if (source.open) source.open->Close();
    if (err)
      ctx.Failure({"Исходный файл не удалён", source.path, platform::ErrorText(err)});
    else
      released.insert(ExtractFileFolder(source.path));
  }
  bool durable = true;
  for (const std::string& folder : released)
    if (int err = platform::SyncFileSystem(folder)) {
      ctx.Failure({"Ошибка записи на диск", folder, platform::ErrorText(err)});
      durable = false;
    }
  return durable;
}

// Tells the file's road's end, before its working files go. A file that
// waits on as it did is on record already.
void TellRoad(const TPassContext& ctx, const TTesselActionList& group, const std::string& path,
              const FileResult& result) {
  TRoadEnd end;
  end.Code = result.code ? result.code : result.error;
  std::string why = Joined(result.reason);
  switch (result.outcome) {
    case Outcome::Delivered:
    case Outcome::Bad:
      end.Outcome =
          result.outcome == Outcome::Delivered ? TRoadOutcome::Delivered : TRoadOutcome::Bad;
      end.Target = result.target;
      end.Result = result.resultWork;
      break;
    case Outcome::Refused:
      if (group.Run().DeliveryFaults.count(path)) return ctx.Roads->FileForgotten();
      end.Outcome = TRoadOutcome::Left;
      why = "Папка не принимает файлы: " + result.refusedFolder;
      if (result.error) why += " (" + platform::ErrorText(result.error) + ")";
      break;
    default:  // Held: a hold starts with it
      end.Outcome = TRoadOutcome::Held;
      break;
  }
  end.Why = why;
  ctx.Roads->FileEnded(end);
}

TRecoveredDelivery RecoveredTo(TFileRoadSink* roads) {
  if (!roads) return {};
  return
      [roads](const std::string& source, uint64_t size, int64_t mtimeNs, const std::string& target,
              bool bad) { roads->DeliveryRecovered(source, size, mtimeNs, target, bad); };
}

}  // namespace

bool TTesselActionList::ProcessGroup(const TPassContext& given) {
  const auto started = Clock::now();
  TGroupRunState& run = Run();
  TPassCounts& counts = run.LastPass;
  counts = {};
  std::string folder, maskText;
  SplitSourceMask(SourceMask, folder, maskText);

  std::vector<std::string> files, unnamed;
  if (given.Activity) given.Doing("Чтение папки " + folder);
  // A missing folder gives no files.
  counts.SourceMissing = folder.empty() || !FindFiles(folder, maskText, files, &unnamed);
  counts.Found = static_cast<int>(files.size());

  // What the group's pass uses: the given context, with the event log when
  // it names no sink, a journal of its own when it names none (the steps'
  // copies are noted in it too), and the temp folder looked up once.
  TPassContext ctx = given;
  TEventLogSink eventLog;
  if (!ctx.Log) ctx.Log = &eventLog;
  std::optional<TDeliveryJournal> ownJournal;
  if (!ctx.Journal) {
    ownJournal.emplace(DeliveryJournalPath());
    ownJournal->Recover({JournalScopeOf(*this)}, RecoveredTo(ctx.Roads));
    ctx.Journal = &*ownJournal;
  }
  TDeliveryJournal& journal = *ctx.Journal;
  if (ctx.Roads) ctx.Roads->GroupStarted(Name);
  ctx.TempFolder = given.Temp();
  TempFiles.TempFolder = ctx.TempFolder;
  TempSpace space;

  // The group's lines begin with its first file that is worked on: files
  // that wait for a refusing folder leave no trace on every pass.
  bool headerWritten = false;
  auto header = [&] {
    if (headerWritten) return;
    ctx.Log->Subject(Name, {});
    ctx.Line({kGroupSeparator});
    ctx.Line({Name});
    headerWritten = true;
  };
  // Names that can never be taken are said once each, not on every pass.
  std::set<std::string> unnamedNow;
  for (const std::string& name : unnamed) {
    unnamedNow.insert(name);
    if (!run.UnnamedSaid.insert(name).second) continue;
    header();
    ctx.Failure({"Имя файла не имеет формы в кодировке Windows-1251, файл не обрабатывается",
                 folder + name});
  }
  std::erase_if(run.UnnamedSaid, [&](const std::string& name) { return !unnamedNow.count(name); });

  const auto now = ctx.Time();
  const int64_t wallNow = PassWallClockNs();
  const uint64_t pass = run.Passes + 1;
  const std::string settings = SettingsText(*this);
  std::vector<TakenSource> taken;
  // Sources delivered are kept open until their deletion, as many as the
  // process may spare; the rest are opened again then.
  const size_t keepOpenUpTo = platform::OpenedFilesToKeep();
  size_t keptOpen = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (ctx.Stopping()) {
      const int rest = static_cast<int>(files.size() - i);  // not taken: waits in the source folder
      counts.Left += rest;
      counts.Stopped += rest;
      break;
    }
    if (ctx.Progress) ctx.Progress(ctx.Group, static_cast<int>(i) + 1, counts.Found);
    if (StillRefused(ctx, *this, files[i], settings)) {
      ++counts.Left;
      ++counts.Refused;
      continue;
    }
    // A file still being written waits, said once when it starts waiting.
    const TReadiness ready = CheckReadiness(*this, files[i], now, wallNow, ctx.Delivered);
    if (!ready.Ready) {
      ++counts.Left;
      if (ready.Fresh) {
        ++counts.Fresh;  // a moment's wait, not worth a line
        continue;
      }
      ++counts.Writing;
      TFileWatch& watch = run.Watched[files[i]];
      if (!watch.WaitSaid) {
        header();
        ctx.Line(
            {"Файл ожидает окончания записи", Quoted(ExtractFileName(files[i])), ready.Reason});
        watch.WaitSaid = true;
      }
      continue;
    }
    run.Watched.erase(files[i]);
    // While a key or library fault holds the group, one file a pass tries
    // the road again without a line; the others wait for what it finds.
    if (run.Hold && run.Hold->MetInPass == pass) {
      ++counts.Left;
      ++counts.Held;
      continue;
    }
    const platform::FileStat* seen = ready.HasStat ? &ready.Stat : nullptr;
    if (run.Hold) {
      // A rehearsal without lines, copies or delivery: the fault is still
      // there, or the file could not be taken (that says nothing of it).
      TLineBuffer unsaid;
      TPassContext quiet = ctx;
      quiet.Log = &unsaid;
      quiet.Roads = nullptr;  // a rehearsal's road is nobody's record
      TakenSource none;
      const FileResult rehearsed =
          ProcessFile(quiet, *this, files[i], seen, ready.Opened, /*keepOpened=*/false, none,
                      journal, space, /*rehearsal=*/true);
      TempFiles.EndFile();
      if (rehearsed.outcome == Outcome::NotTaken ||
          (rehearsed.outcome == Outcome::Held && rehearsed.reason == run.Hold->Reason)) {
        run.Hold->MetInPass = pass;
        ++counts.Left;
        ++counts.Held;
        continue;
      }
      // Mended (or another fault): said, then the file's road in full.
      header();
      EndHold(ctx, *this, ExtractFileName(files[i]));
    }
    header();
    TakenSource source;
    const FileResult result = ProcessFile(ctx, *this, files[i], seen, ready.Opened,
                                          keptOpen < keepOpenUpTo, source, journal, space);
    if (source.open) ++keptOpen;
    if (ctx.Roads && result.outcome != Outcome::NotTaken) TellRoad(ctx, *this, files[i], result);
    TempFiles.EndFile();  // its road has ended: its working files go now
    if (result.outcome == Outcome::Held) StartHold(ctx, *this, files[i], result, pass);
    NoteResult(ctx, *this, files[i], result, settings);
    if (result.outcome == Outcome::Bad) TellBad(ctx, *this, files[i], result);
    if (result.outcome != Outcome::NotTaken && result.outcome != Outcome::Held) ++counts.Taken;
    if (result.outcome == Outcome::Delivered) ++counts.Delivered;
    if (result.outcome == Outcome::Delivered && result.passedOn) ++counts.PassedOn;
    if (result.outcome == Outcome::Bad) ++counts.Bad;
    if (result.outcome == Outcome::NotTaken || result.outcome == Outcome::Refused ||
        result.outcome == Outcome::Held)
      ++counts.Left;
    if (result.outcome == Outcome::Refused) ++counts.Refused;
    if (result.outcome == Outcome::Held) ++counts.Held;
    if (!source.deliveredTo.empty()) taken.push_back(std::move(source));
  }
  if (counts.Bad == 0) run.BadEpisode = false;
  // Faults of files that are gone from the folder are forgotten.
  if (!run.DeliveryFaults.empty() || !run.Watched.empty()) {
    const std::set<std::string> listed(files.begin(), files.end());
    std::erase_if(run.DeliveryFaults,
                  [&](const auto& fault) { return !listed.count(fault.first); });
    std::erase_if(run.Watched, [&](const auto& watch) { return !listed.count(watch.first); });
  }

  if (!taken.empty()) ctx.Doing("Запись на диск и удаление исходных файлов");
  if (ctx.Roads) ctx.Roads->Flushing();
  const bool released = ReleaseSources(ctx, taken, journal);
  // The records of the deliveries go after them, before the journal that
  // would complete them after a kill goes.
  if (ctx.Roads) ctx.Roads->GroupEnded();
  if (released) journal.Clear();
  TempFiles.Cleanup();
  counts.DurationMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
  counts.EndTime = static_cast<std::time_t>(platform::WallClockSeconds());
  ++run.Passes;
  return true;
}

bool TTesselActionList::ProcessGroup() {
  return ProcessGroup(TPassContext{});
}

namespace {

// What the enabled groups take: a folder's files that a mask selects.
std::function<bool(const std::string&, const std::string&)> SourcesOf(const TTesselGroups& script) {
  auto sources =
      std::make_shared<std::vector<std::pair<std::string, std::unique_ptr<TFileMask>>>>();
  for (int i = 0; i < script.GroupCount(); ++i) {
    const TTesselActionList* group = script.GetGroup(i);
    if (!group || !group->Enabled) continue;
    std::string folder, mask;
    SplitSourceMask(group->SourceMask, folder, mask);
    if (folder.empty()) continue;
    sources->emplace_back(IncludeTrailingDelimiter(folder), std::make_unique<TFileMask>(mask));
  }
  return [sources](const std::string& folder, const std::string& name) {
    for (const auto& [source, mask] : *sources)
      if (source == folder && mask->Matches(name, folder)) return true;
    return false;
  };
}

}  // namespace

bool TTesselGroups::RunAllGroups(const TPassContext& given) {
  // Passes share the groups' working-file lists: a pass begun inside another
  // (say, from a message loop run by a step) must not clean up the outer one's files.
  if (passRunning_) return true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{passRunning_ = true};

  TPassContext ctx = given;
  TEventLogSink eventLog;
  if (!ctx.Log) ctx.Log = &eventLog;  // a context without a sink writes the event log
  if (!ctx.Keys) ctx.Keys = KeyLoader;
  if (ctx.SecretKeys.empty()) ctx.SecretKeys = SecKeysPath;
  if (ctx.PublicKeys.empty()) ctx.PublicKeys = PubKeysPath;
  // What a killed run left: its working folders (plaintext among them) and
  // the deliveries it had under way. Once per temp folder in a process: the
  // folders of a run that is gone stay gone.
  static std::set<std::string> sweptTempFolders;
  static std::mutex sweptLock;
  const std::string temp = ctx.Temp();
  bool sweep;
  {
    std::lock_guard<std::mutex> lock(sweptLock);
    sweep = sweptTempFolders.insert(temp).second;
  }
  if (sweep) {
    ctx.PassDoing("Удаление рабочих папок прерванной работы");
    if (const int removed = platform::RemoveAbandonedWorkFolders(temp))
      ctx.Line({"Удалены рабочие папки прерванной работы", temp, std::to_string(removed)});
  }
  std::optional<TDeliveryJournal> journal;
  if (!ctx.Journal) {
    ctx.PassDoing("Восстановление журнала доставки");
    journal.emplace(DeliveryJournalPath());
    journal->Recover(JournalScopesOf(*this), RecoveredTo(ctx.Roads));
    ctx.Journal = &*journal;
  }

  std::set<TFileIdentity> delivered;
  if (!ctx.Delivered) ctx.Delivered = &delivered;
  if (!ctx.TakenByAGroup) ctx.TakenByAGroup = SourcesOf(*this);
  const int count = GroupCount();
  for (int i = 0; i < count && !ctx.Stopping(); ++i) {
    TTesselActionList* group = GetGroup(i);
    if (!group || !group->Enabled) continue;
    ctx.Group = i;
    group->ProcessGroup(ctx);
  }
  return true;
}

bool TTesselGroups::RunAllGroups() {
  TPassContext context;
  context.Stop = &stopRequested_;
  if (OnFileStart) context.Progress = OnFileStart;
  if (OnFailure) context.Failures = OnFailure;
  if (OnActivity) context.Activity = OnActivity;
  context.Roads = Roads;
  return RunAllGroups(context);
}
