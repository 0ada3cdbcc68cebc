// The in-memory script (registry, groups, steps), the do-nothing step kind and
// the event log.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/GroupRunState.h"
#include "engine/LogKind.h"
#include "engine/PassContext.h"
#include "engine/StepKeys.h"
#include "engine/StepKindSet.h"

namespace platform {
class FolderHandle;  // platform/Files.h
}

// ---------------------------------------------------------------------------
// Event log

// Anything that can show log lines; the main window is one.
class TLogTarget {
 public:
  virtual ~TLogTarget() = default;
  virtual void AddLine(const std::string& line, TLogKind kind) = 0;
};

// Mirror of the log on screen; null until the window attaches itself.
extern TLogTarget* LogTarget;

// Appends one line: the local timestamp, then a TAB before each field, then
// CR LF. The line also goes to LogTarget, once the file has been opened.
void WriteLog(std::initializer_list<std::string> fields);
void WriteLog(const std::vector<std::string>& fields);
// The same line, marked as a failure for the targets.
void WriteFailureLog(std::initializer_list<std::string> fields);
void WriteLog(TLogKind kind, const std::vector<std::string>& fields);
// The line as the log file holds it, without its CR LF: the timestamp, then
// a TAB before each field.
std::string LogLine(const std::vector<std::string>& fields);

// The program's path with ".log" in place of its extension.
std::string LogFilePath();
// Tests send the log elsewhere; an empty path restores the default.
void SetLogFilePath(const std::string& path);
// Tests fix the clock; an empty function restores the real one.
void SetLogClock(std::function<std::tm()> clock);

// ---------------------------------------------------------------------------
// TItemList: an ordered list of references. It owns nothing: its owner
// destroys the items.

void LogIndexOutOfRange(int index, int count);

template <class T>
class TItemList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  int Add(T* item) {
    items_.push_back(item);
    return Count() - 1;
  }
  bool CheckIndex(int index) const {
    if (index >= 0 && index < Count()) return true;
    LogIndexOutOfRange(index, Count());
    return false;
  }
  T* Get(int index) const { return CheckIndex(index) ? items_[index] : nullptr; }
  void Put(int index, T* item) {
    if (CheckIndex(index)) items_[index] = item;
  }
  void Delete(int index) {
    if (CheckIndex(index)) items_.erase(items_.begin() + index);
  }
  // Searches from the last item down, so an item listed twice gives its higher index.
  int IndexOf(const T* item) const {
    for (int i = Count() - 1; i >= 0; --i)
      if (items_[i] == item) return i;
    return -1;
  }
  void Clear() { items_.clear(); }

 private:
  std::vector<T*> items_;
};

// ---------------------------------------------------------------------------
// Steps

class TTesselAction {
 public:
  std::string CopyTo;    // folder for a copy of each result; empty: none
  bool Enabled = false;  // takes part in processing passes

  TTesselAction() = default;
  TTesselAction(const TTesselAction&) = delete;
  TTesselAction& operator=(const TTesselAction&) = delete;
  virtual ~TTesselAction() = default;

  // Runs the step on InputFileName, leaving the result at OutputFileName (or
  // pointing OutputFileName at it), with what the pass hands it. The base
  // copies the result to CopyTo and always succeeds; every kind calls it at
  // the end of a successful run.
  virtual bool Run(const TStepContext& context, const std::string& InputFileName,
                   std::string& OutputFileName);
  // Run outside a pass: lines to the event log, the key cache given, no
  // journal.
  bool Execute(const std::string& InputFileName, std::string& OutputFileName,
               TKeyLoader* keys = nullptr);
  virtual std::string GetCaption() const = 0;
  virtual std::string GetParamText() const = 0;
  // The kind as the step editor's kind list offers it, and its page's name.
  virtual std::string GetChoiceText() const { return GetCaption() + "..."; }
  virtual std::string GetPageName() const { return "Kind" + std::to_string(GetKind()); }
  // The kind's own settings keys, for the settings file to read or write;
  // the common fields are the file's business. The base has none.
  virtual void ExchangeKeys(TStepKeys& keys) { (void)keys; }
  virtual uint8_t GetKind() const = 0;
};

class TTesselAction_none : public TTesselAction {
 public:
  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override;
  std::string GetCaption() const override;
  std::string GetParamText() const override;
  std::string GetPageName() const override { return "None"; }
  uint8_t GetKind() const override { return kKindNone; }
};

// ---------------------------------------------------------------------------
// Working files of one group's pass. They live one file long: a file's
// chain (its copy and each step's result, each under the file's own name in
// a folder of its link) goes as soon as its road ends, so the temp folder
// never holds more than one file's chain and no plaintext of a file waits
// for the rest of the batch. The folders are the run's own
// (platform/WorkFolders.h): one run folder per group pass, made at its first
// file and removed at its end, with one folder per link made once.

class TTempFileList {
 public:
  std::string CurrentName;  // bare name of the file being processed
  std::string TempFolder;   // where the run folder goes; empty: the platform's temp path

  TTempFileList() = default;
  TTempFileList(const TTempFileList&) = delete;
  TTempFileList& operator=(const TTempFileList&) = delete;
  ~TTempFileList();

  // The path of the file's next working file: CurrentName in the folder of
  // the next link of its chain. Empty (and the reason in *error) when no
  // folder could be made. *folder: that folder held open, or null.
  std::string NewWorkPath(int* error = nullptr, const platform::FolderHandle** folder = nullptr);
  // The path last given was not written (a step passed its input on): its
  // link is free for the next.
  void Unused(const std::string& path);
  // The file for the path last given was made without a name, in its
  // folder: there is nothing to delete when the road ends.
  void NotNamed(const std::string& path);
  // The file's road has ended: its working files go, failures ignored.
  void EndFile();
  // EndFile, then the run folder goes with its link folders.
  void Cleanup();
  // The run folder while it exists; empty otherwise.
  const std::string& RunFolder() const { return runFolder_; }

 private:
  std::string runFolder_;
  int links_ = 0;                   // link folders made in it
  int link_ = 0;                    // the file's next link
  std::vector<std::string> files_;  // the file's working files, one a link
  // The link folders held open, by link; one that could not be is closed.
  std::vector<std::unique_ptr<platform::FolderHandle>> folders_;
};

class TTesselActionList {
 public:
  TItemList<TTesselAction> Actions;  // owned
  const std::string Name;
  std::string SourceMask;
  std::string DestFolder;
  std::string BadFolder;
  bool Enabled = false;
  // A file is taken only once its size, time and identity have stayed the
  // same for this many seconds of the pass's own clock; 0 takes it at once.
  int32_t SettleSeconds = 0;
  // The duplicate guard: a file whose bytes this group delivered within so
  // many days goes to the bad-files folder; 0: off.
  int32_t DuplicateDays = 0;
  TTempFileList TempFiles;

  // The kinds and the run state are the registry's; they outlive the group.
  TTesselActionList(std::string name, const TStepKinds& kinds, TGroupRunState& run);
  TTesselActionList(const TTesselActionList&) = delete;
  TTesselActionList& operator=(const TTesselActionList&) = delete;
  ~TTesselActionList();

  int ActionCount() const { return Actions.Count(); }
  TTesselAction* GetAction(int index) const { return Actions.Get(index); }
  int AddAction(TTesselAction* action) { return Actions.Add(action); }
  // A new, disabled step of the kind appended to the group; null for a code
  // the registry's kinds cannot make.
  TTesselAction* CreateAction(int code);
  void DeleteAction(int index);
  int IndexOfAction(const TTesselAction* action) const { return Actions.IndexOf(action); }
  // Puts newAction where oldAction stands; oldAction is not destroyed.
  void ReplaceAction(TTesselAction* oldAction, TTesselAction* newAction);
  void ClearActions();

  // One pass over the group with what the context hands it.
  bool ProcessGroup(const TPassContext& context);
  // The same with the event log and nothing else: no key cache, no stop.
  bool ProcessGroup();

  // Copy, then delete the source once the copy has reached the disk. A failed
  // copy deletes nothing.
  static bool MoveFileTo(const std::string& source, const std::string& target,
                         int* error = nullptr);

  const TStepKinds& Kinds() const { return kinds_; }
  // What passes learned of the group's files; the pass alone writes it.
  TGroupRunState& Run() { return run_; }
  const TGroupRunState& Run() const { return run_; }

 private:
  const TStepKinds& kinds_;
  TGroupRunState& run_;
};

// ---------------------------------------------------------------------------
// The registry

class TTesselGroups {
 public:
  TItemList<TTesselActionList> Groups;  // owned
  std::string PubKeysPath;
  TKeyLoader* KeyLoader = nullptr;  // owned
  std::string SecKeysPath;

  // The registry makes its steps and its key cache with kinds, which must
  // outlive it (a program's set is static).
  explicit TTesselGroups(const TStepKinds& kinds);
  explicit TTesselGroups(const TStepKinds&& kinds) = delete;
  TTesselGroups(const TTesselGroups&) = delete;
  TTesselGroups& operator=(const TTesselGroups&) = delete;
  ~TTesselGroups();

  const TStepKinds& Kinds() const { return kinds_; }
  int GroupCount() const { return Groups.Count(); }
  TTesselActionList* GetGroup(int index) const { return Groups.Get(index); }
  TTesselActionList* AddGroup(const std::string& name);
  void DeleteGroup(int index);
  void ClearGroups();

  // One pass over every enabled group with what the context hands it; its
  // key cache, when it names none, is the registry's. A pass started while
  // one is under way does nothing.
  bool RunAllGroups(const TPassContext& context);
  // The same with the event log, the registry's key cache, its stop request
  // (RequestStop), OnFileStart, OnFailure, OnActivity and Roads.
  bool RunAllGroups();

  // Asks the pass under way to end after the file in hand; the files not yet
  // taken wait in their source folders. Safe from another thread and from a
  // signal handler. A pass begun while it is set does nothing.
  void RequestStop() { stopRequested_.store(true); }
  void ClearStop() { stopRequested_.store(false); }
  bool StopRequested() const { return stopRequested_.load(); }
  // Called on the pass's thread before each file: the group's index, the
  // file's number from 1 and the number of files its scan found.
  std::function<void(int group, int file, int files)> OnFileStart;
  // Called on the pass's thread when a failure starts or clears.
  std::function<void(const TFailureEvent&)> OnFailure;
  // Called on the pass's thread with what the pass is doing (TPassContext::Activity).
  std::function<void(int group, const std::string& what, const std::string& output, uint64_t bytes)>
      OnActivity;
  // Told each file's road on the pass's thread (the history); null: nobody.
  TFileRoadSink* Roads = nullptr;

  // A load met steps of kinds it could not make; the logged steps are lost.
  // While set, the load's file is not saved over (config/SettingsFile.h).
  std::string LostStepsFile;
  // Every step the last load left out for its kind code: those above, and
  // those of codes outside the known kinds, which it passes over without a
  // word. A save writes neither, so the check reports them.
  struct TSkippedStep {
    std::string Group;
    int Number = 0;  // among the group's step sections in the file, from 1
    int32_t Code = 0;
    std::string Section;
  };
  std::vector<TSkippedStep> SkippedSteps;

 private:
  const TStepKinds& kinds_;
  // Each group's run state, apart from its settings.
  std::map<const TTesselActionList*, std::unique_ptr<TGroupRunState>> runStates_;
  std::atomic<bool> stopRequested_{false};
  bool passRunning_ = false;
  static_assert(std::atomic<bool>::is_always_lock_free);
};

// The single script registry, between InitEngine and DoneEngine, made with
// the program's step kinds.
extern TTesselGroups* ScriptRegistry;
void InitEngine(const TStepKinds& kinds);
void InitEngine(const TStepKinds&& kinds) = delete;
void DoneEngine();
