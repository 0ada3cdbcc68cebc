// What a pass tells of each file's road, for a record kept elsewhere (the
// history of deliveries). The engine tells, in order, for one group's pass:
// GroupStarted, then per file taken FileTaken, StepDone for each step run,
// and FileEnded (or FileForgotten for a file that only waits on), then
// GroupEnded once the group's deliveries are on the disk. All of it on the
// pass's thread. A sink never stops a pass: whatever fails is its own affair.
// What it is told is the pass's: the texts a view shows live only through the
// call, and a step's texts are the sink's to keep.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class CopyTap;  // platform/Files.h
}

// Where a file's road ended.
enum class TRoadOutcome {
  Delivered,  // to the destination folder
  Bad,        // to the bad-files folder
  Left,       // left in its source folder for a later pass (a folder refused it)
  Held,       // left in its source folder until a key or library fault is mended
};

struct TRoadTaken {
  std::string_view Group;
  std::string_view Source;  // the path it was taken from
  std::string_view Work;    // the working copy: the bytes taken, there until FileEnded
  uint64_t Size = 0;
  int64_t MtimeNs = 0;
};

struct TRoadStep {
  int Kind = 0;
  std::string Caption;
  std::string Params;  // the step's parameter text: its keys among them
  bool Ok = false;
  int Code = 0;         // a failed step's code, where it told one
  std::string Text;     // the lines the step wrote, one per line
  std::string CopiedTo;  // the copy the step made to its copy folder; empty: none
  std::string Fingerprints{};  // of the keys it used, blank between them; empty: none told
};

struct TRoadEnd {
  TRoadOutcome Outcome = TRoadOutcome::Delivered;
  std::string_view Target;  // Delivered, Bad: the path it was delivered to
  std::string_view Result;  // Delivered, Bad: the working file whose bytes went there
  std::string_view Why;     // Bad, Left, Held: the reason
  int Code = 0;
};

// A delivery the same bytes had before (the duplicate guard).
struct TRoadEarlier {
  std::string Name;  // the file's name then
  int64_t At = 0;    // when its road ended, seconds since the epoch
};

class TFileRoadSink {
 public:
  virtual ~TFileRoadSink() = default;
  virtual void GroupStarted(const std::string& group) = 0;
  // A tap on the bytes as the pass copies the file into its working file,
  // asked just before that copy (which may still fail: the file is then not
  // taken); null: the copy goes without one.
  virtual platform::CopyTap* Taking(const std::string& work) {
    (void)work;
    return nullptr;
  }
  virtual void FileTaken(const TRoadTaken& taken) = 0;
  // The group's latest delivery, done within the last days, of the bytes of
  // the file just taken; none: nullopt. Between FileTaken and FileEnded.
  virtual std::optional<TRoadEarlier> DeliveredBefore(int days) = 0;
  virtual void StepDone(TRoadStep step) = 0;
  // A tap on the bytes of the working file result as the pass delivers it,
  // asked just before that copy; null: the copy goes without one.
  virtual platform::CopyTap* Delivering(const std::string& result) {
    (void)result;
    return nullptr;
  }
  virtual void FileEnded(const TRoadEnd& end) = 0;
  // The file's road is already on record (it waits as it did).
  virtual void FileForgotten() = 0;
  // The group's deliveries go to the disk now. The working files are all
  // removed by then: one still held open would be written out with them.
  virtual void Flushing() {}
  // The group's deliveries are on the disk: its records may be kept, beside
  // the deletion of its sources that follows.
  virtual void DeliveriesOnDisk() {}
  // The group's pass is over: its records are kept when this returns.
  virtual void GroupEnded() = 0;
  // A killed pass's delivery that its journal's replay found complete: the
  // source as taken and the target that holds the result (in the
  // bad-files folder: bad).
  virtual void DeliveryRecovered(const std::string& source, uint64_t size, int64_t mtimeNs,
                                 const std::string& target, bool bad) = 0;
};
