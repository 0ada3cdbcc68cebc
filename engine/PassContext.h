// What a pass and its steps use, handed to them: where lines go, the key
// cache, the delivery journal, the clock, the temp folder, the stop request
// and where progress goes. Nothing of it is reached through the registry or
// another global, so two passes (two registries, a test's and a program's)
// never share what they were not handed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/LogKind.h"

class TDeliveryJournal;
class TFileRoadSink;  // engine/FileRoad.h
class TKeyLoader;     // the key cache, crypto/TKeyLoader.h
namespace platform {
class OpenedFile;  // platform/Writers.h
}

// Where a pass's lines go.
class TLogSink {
 public:
  virtual ~TLogSink() = default;
  virtual void Write(TLogKind kind, const std::vector<std::string>& fields) = 0;
  // What the lines that follow are about: a group's name and the file in
  // hand (empty between files). A sink that files lines by subject (the
  // service's journal) keeps it; the others need not.
  virtual void Subject(const std::string& group, const std::string& file) {
    (void)group;
    (void)file;
  }
  // Lines that belong together (a file's separator and its first line); a
  // sink may write them at once.
  virtual void WriteLines(const std::vector<std::vector<std::string>>& lines) {
    for (const auto& fields : lines) Write(TLogKind::Normal, fields);
  }
  // The line that ends a file's road. Nothing needs it before whatever comes
  // next, so a sink may keep it and write it with its next line, or when
  // the sink ends.
  virtual void WriteEnd(const std::vector<std::string>& fields) { Write(TLogKind::Normal, fields); }
};

// The program's event log (WriteLog). Inside a pass it keeps the log file
// open, so a line costs one write, and a file's end line shares the write of
// the next file's first lines; the file is closed with the sink, between
// passes, where a rotation of the log may move it.
class TEventLogSink : public TLogSink {
 public:
  TEventLogSink();
  ~TEventLogSink() override;
  TEventLogSink(const TEventLogSink&) = delete;
  TEventLogSink& operator=(const TEventLogSink&) = delete;
  void Write(TLogKind kind, const std::vector<std::string>& fields) override;
  void WriteLines(const std::vector<std::vector<std::string>>& lines) override;
  void WriteEnd(const std::vector<std::string>& fields) override;

 protected:
  void WriteKeptEnd() { Append({}); }

 private:
  // Writes the lines (and an end line kept before them), whole lines in one
  // write: another writer's line comes before or after them.
  void Append(const std::vector<std::pair<std::string, TLogKind>>& lines);
  struct TFile;
  TFile* file_;
};

// Whose fault a failure is. The file's own (forged, tampered, not signed,
// not addressed to us, malformed) sends it to the bad-files folder; the
// environment's (a key or key folder missing or refused, the library not
// open, the working space failing) and a refused delivery leave it in its
// source folder until the fault clears.
enum class TFailureClass { File, Environment, Delivery };

// A failure as a person should hear of it, told once when it starts and
// once when it clears (a file's own fault never clears: the file went to the
// bad-files folder). Texts are Windows-1251.
struct TFailureEvent {
  std::string Group;   // the group's name
  std::string File;    // the file's name; empty: the group's, not one file's
  std::string Reason;  // what failed and, where known, how to fix it
  int Code = 0;        // the library's result code, or an errno; 0: none
  TFailureClass Class = TFailureClass::File;
  // The first failure of an episode: a fault that was not there before (a
  // key missing, a folder refusing), or a group's first file sent to the
  // bad-files folder since one of its passes went without. A person is told
  // of an episode once; its later events only add to it.
  bool Starts = false;
  bool Cleared = false;  // the fault this event's episode started has cleared
};

// A file as it was when a pass delivered it: device, inode, size, time.
using TFileIdentity = std::tuple<uint64_t, uint64_t, uint64_t, int64_t>;

struct TPassContext {
  using Clock = std::chrono::steady_clock;

  TLogSink* Log = nullptr;                  // null: the event log (TEventLogSink)
  TKeyLoader* Keys = nullptr;               // null: the library extracts every key itself
  TDeliveryJournal* Journal = nullptr;      // null: each group's pass keeps one of its own
  std::function<Clock::time_point()> Now;   // the pass's clock; empty: the steady clock
  std::string TempFolder;                   // empty: the platform's temp path
  const std::atomic<bool>* Stop = nullptr;  // set: the pass ends after the file in hand
  // Before each file: the group's index, the file's number from 1 and the
  // number of files its scan found.
  std::function<void(int group, int file, int files)> Progress;
  int Group = 0;  // the index Progress is told
  // What the pass is doing: a step or a delivery of the file in hand, with
  // the working file it writes (whose size tells how far it has come) and
  // the bytes it reads; or work between files (a folder read, the disk
  // flushed, the journal recovered), with no file.
  // The group is Group's index, or -1 for work of the whole pass. Callers on
  // the hot path look at Activity first, so that no text is made for nobody.
  std::function<void(int group, const std::string& what, const std::string& output, uint64_t bytes)>
      Activity;
  void Doing(const std::string& what, const std::string& output = {}, uint64_t bytes = 0) const {
    if (Activity) Activity(Group, what, output, bytes);
  }
  void PassDoing(const std::string& what) const {
    if (Activity) Activity(-1, what, {}, 0);
  }
  // Results this pass delivered, complete when named: a later group that
  // takes them from its source folder need not wait for them to settle.
  std::set<TFileIdentity>* Delivered = nullptr;
  // Told each file's road (the history); null: nobody keeps them.
  TFileRoadSink* Roads = nullptr;
  // Told each failure that starts or clears; called on the pass's thread.
  std::function<void(const TFailureEvent&)> Failures;
  // The script's key folders, for a line that names a key a step missed.
  std::string SecretKeys, PublicKeys;
  // Whether an enabled group takes a file of that name from that folder
  // (ending in a delimiter): a result delivered there is passed on, not out.
  std::function<bool(const std::string& folder, const std::string& name)> TakenByAGroup;
  void Tell(const TFailureEvent& event) const {
    if (Failures) Failures(event);
  }

  void Line(std::initializer_list<std::string> fields) const;
  void Failure(std::initializer_list<std::string> fields) const;
  void Write(TLogKind kind, const std::vector<std::string>& fields) const;
  void Lines(const std::vector<std::vector<std::string>>& lines) const { Log->WriteLines(lines); }
  void EndLine(std::initializer_list<std::string> fields) const;
  Clock::time_point Time() const { return Now ? Now() : Clock::now(); }
  std::string Temp() const;
  bool Stopping() const { return Stop && Stop->load(); }
};

// What a step is handed for the file in hand: the pass's context, and the
// permissions its copies may have at most (those of the source as taken).
struct TStepContext {
  const TPassContext& Pass;
  unsigned ModeCap = 0666;
  // A rehearsal of a held file's road: copies to copy folders are left out.
  bool Rehearsal = false;
  // Set by a step that failed on its working files (no room, an I/O error),
  // not on the file's content: the file then waits instead of going bad.
  mutable bool WorkingSpaceFault = false;
  void NoteWorkingSpaceFault() const { WorkingSpaceFault = true; }
  // Set by a step that failed for its keys or the library (a key or key
  // folder missing or refused, the library not open): the file waits until
  // the fault is mended. The code and a line that names what to mend.
  mutable bool EnvironmentFault = false;
  mutable int FaultCode = 0;
  mutable std::vector<std::string> FaultReason{};
  void NoteEnvironmentFault(int code, std::vector<std::string> reason) const {
    EnvironmentFault = true;
    FaultCode = code;
    FaultReason = std::move(reason);
  }

  // The fingerprints of the keys the step used, blank between them, where
  // its keys have fingerprints (OpenPGP); for the file's road.
  mutable std::string KeysUsed{};

  // The working file as taken, kept open: a copy of it reads from there
  // without opening it again. Null path: none is kept.
  const std::string* TakenWork = nullptr;
  platform::OpenedFile* TakenCopy = nullptr;

  // A copy the step makes (of its input, or of a result to its copy folder):
  // journalled, and no more open than the source.
  bool Copy(const std::string& source, const std::string& target, int* error = nullptr) const;
};
