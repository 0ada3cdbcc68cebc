// The delivery journal: what a pass is about to make appear in the script's
// folders, so that the next pass after a killed one finishes the story
// instead of telling it twice.
//
// Two kinds of record, appended before the act they announce:
// - a side name, before a copy's side name can appear in a destination,
//   bad-files or copy folder (a killed run leaves the half-named copy there);
// - a delivery: the source (path and identity as taken) and the target with
//   the identity (device, inode) of the new file, before it takes its name.
// The journal is emptied at the end of each group's pass, once the sources
// whose results are safe have been deleted.
//
// The next pass replays a journal that is not empty: a side name still
// present is removed; a delivery whose target now holds the recorded file is
// complete, so the target's file system is flushed and the source, if it is
// still the file that was taken, deleted; a delivery whose target does not
// hold it never happened, and its source is processed again as usual.
//
// Exactly once, also after a power cut: once per group pass the records are
// flushed (Sync), then the folders that received results, then the sources
// are deleted; the journal is emptied only once the deletions are on the
// disk. A power cut at any of these points leaves either a source whose
// result is not on the disk, or a result the journal names, so recovery
// deletes the source instead of delivering it again. (A result that reaches
// the disk by the file system's own writeback before the records are flushed
// can still come twice: closing that too would cost a flush per file.)
//
// A journal is trusted only when it is a regular file of this process's user
// with mode 0600 or stricter, and each record names a source in a source
// folder of the script and a target of the same name in that group's
// destination, bad-files or copy folder. Any other journal is set aside with
// one failure line, and nothing it names is touched.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Files.h"

class TTesselActionList;
class TTesselGroups;

// What a group's records may name: its source folder and the folders its
// results go to, each ending in the path delimiter.
struct TJournalScope {
  std::string SourceFolder;
  std::vector<std::string> TargetFolders;
  std::string BadFolder;  // the one of them that takes bad files; empty: none
};

// A delivery of a killed pass that the replay found complete: the source as
// taken, the target holding the result, and whether it went to bad files.
using TRecoveredDelivery = std::function<void(const std::string& source, uint64_t size,
                                              int64_t mtimeNs, const std::string& target, bool bad)>;
TJournalScope JournalScopeOf(const TTesselActionList& group);
std::vector<TJournalScope> JournalScopesOf(const TTesselGroups& script);

class TDeliveryJournal {
 public:
  explicit TDeliveryJournal(std::string path) : path_(std::move(path)) {}

  // Finishes what the journal of an earlier pass recorded, then empties it;
  // each delivery found complete is told to recovered.
  void Recover(const std::vector<TJournalScope>& script, const TRecoveredDelivery& recovered = {});
  // Flushes the records appended so far to the disk.
  void Sync();
  // Callbacks for a copy into a script folder that is not a delivery.
  platform::CopyJournal ForCopy();
  // Callbacks for a delivery of a taken source to the target.
  platform::CopyJournal ForDelivery(const std::string& source, const platform::FileStat& taken,
                                    const std::string& target);
  // Every recorded source is settled: the journal is emptied.
  void Clear();

  const std::string& Path() const { return path_; }

 private:
  int Append(const std::string& record);
  // Renames an untrusted journal out of the way, said in one failure line.
  void SetAside(const std::string& reason);

  std::string path_;
  platform::AppendHandle file_;  // open from the first record to the end of the pass
  bool failureLogged_ = false;
  bool setAsideTried_ = false;
};

// Beside the event log: its name with ".journal" in place of ".log".
std::string DeliveryJournalPath();
