// The commands that run passes (run, once) and the two that only look
// (list, check). Each returns the process's exit status.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/tessel/Console.h"
#include "engine/uTesselTypes.h"
#include "history/PassHistory.h"
#include "platform/RunLock.h"
#include "runtime/CryptoSession.h"
#include "runtime/FailureHook.h"
#include "runtime/Metrics.h"
#include "runtime/KeyWatch.h"
#include "runtime/PassStatus.h"
#include "runtime/ScriptSettings.h"

struct TRunOptions {
  std::string SettingsFile;  // Windows-1251
  std::string MetricsFile;   // empty: none
  std::string OnFailure;     // empty: the script's ON_FAILURE
  bool Strict = false;       // run: no start without the library
};

// How long once waits for the command run on a failure before it ends.
inline constexpr std::chrono::seconds kHookWaitAtEnd{30};

int RunService(const TRunOptions& options);
int RunOnce(const TRunOptions& options);
int ListGroups(const std::string& settingsFile, const std::vector<std::string>& names);
// check: each script, the source folders they share, and (when given) the
// metrics file's folder.
int CheckSettings(const std::vector<std::string>& settingsFiles, const std::string& metricsFile);

// Empty when the settings file can be read; otherwise why not.
std::string SettingsFileProblem(const std::string& settingsFile);
// Empty when no metrics file is asked for or its folder takes it; otherwise why not.
std::string MetricsFileProblem(const std::string& metricsFile);
// once's status after its pass: kExitFilesFailed when a group that ran sent a
// file to its bad-files folder or left one for later, else kExitOk.
int PassExitStatus(const TTesselGroups& registry, bool freshOnesComeAgain = false);
// Files the last pass left only because they had changed a moment before.
int FreshFilesLeft(const TTesselGroups& registry);
// The stored interval as the window's field holds it (at least 3 seconds),
// in milliseconds.
std::chrono::milliseconds PassInterval(int32_t storedSeconds);

// What run and once share: the lock, the log, the script and the library,
// and the metrics after each pass.
class TRunner {
 public:
  explicit TRunner(TRunOptions options);
  ~TRunner();
  TRunner(const TRunner&) = delete;
  TRunner& operator=(const TRunner&) = delete;

  // Signals, the lock, the log; then the script is loaded and the library
  // opened as "Восстановить" and "Пуск" do. kExitOk to go on, otherwise the
  // exit status (the reason printed).
  int Start();
  int32_t Interval() const { return interval_; }
  bool LibraryOpen() const { return session_.LibraryOpen(); }
  // One pass over every enabled group, then the metrics.
  void Pass();
  // Told before each file a pass begins (the service's watchdog).
  void OnFileStart(std::function<void()> told) { onFileStart_ = std::move(told); }
  // The last pass and the counts since the start, as the window's status
  // line tells them, after whether the library is open.
  std::string StatusText() const;
  // A library that did not open starts a failure episode (the hook runs);
  // with line, also a failure line. One that opens again ends it.
  void NoteLibrary(bool line);
  // The failure command: a run ended is reaped, one kept started when due.
  // When it wants to be asked again; none: no need.
  std::optional<std::chrono::steady_clock::time_point> PollHook();
  // Before the program ends: the failure command's run is waited for
  // (kHookWaitAtEnd at most).
  void WaitForHook();
  // The script read again, with a fresh key cache; the library is opened
  // again when the key folders changed. An unreadable file keeps the old script.
  void Reload();
  // Closes the library as "Стоп" does and drops the lock.
  void Finish();

 private:
  void WriteMetrics();
  // Once a minute: the keys' states into the metrics, and a failure line for
  // each key within the warning days when it enters them and each new day.
  void LookAtKeys();

  TRunOptions options_;
  platform::RunLock lock_;
  TCryptoSession session_;
  TMetrics metrics_;
  TConsoleLog console_;
  TFailureHook hook_{""};
  TPassTally tally_;
  TRunTotals totals_;
  std::function<void()> onFileStart_;
  // Each file's road, kept beside the log from the start on.
  TPassHistory history_;
  int historyDays_ = 0;
  bool libraryFault_ = false;  // the library's failure episode is under way
  int32_t interval_ = 0;
  int metricsError_ = 0;  // of the last write, so a lasting failure is told once
  // The keys' states for the metrics and the expiry lines; a reload looks
  // again at once.
  TKeyWatch keyWatch_;
  int32_t keyWarningDays_ = kDefaultKeyWarningDays;
};
