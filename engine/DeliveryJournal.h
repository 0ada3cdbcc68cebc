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
// The records are not flushed to the disk: they must outlive the process,
// not the machine. After a power cut a delivery may happen twice, never be
// lost, as a source is only deleted after its result has been flushed.
#pragma once

#include <string>

#include "platform/Files.h"

class TDeliveryJournal {
 public:
  explicit TDeliveryJournal(std::string path) : path_(std::move(path)) {}

  // Finishes what the journal of an earlier pass recorded, then empties it.
  void Recover();
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

  std::string path_;
  platform::AppendHandle file_;  // open from the first record to the end of the pass
  bool failureLogged_ = false;
};

// Beside the event log: its name with ".journal" in place of ".log".
std::string DeliveryJournalPath();
