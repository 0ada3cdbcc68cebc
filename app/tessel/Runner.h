// The commands that run passes (run, once) and the two that only look
// (list, check). Each returns the process's exit status.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/tessel/Console.h"
#include "engine/uTesselTypes.h"
#include "platform/RunLock.h"
#include "runtime/CryptoSession.h"
#include "runtime/Metrics.h"

struct TRunOptions {
  std::string SettingsFile;  // Windows-1251
  std::string MetricsFile;   // empty: none
};

int RunService(const TRunOptions& options);
int RunOnce(const TRunOptions& options);
int ListGroups(const std::string& settingsFile, const std::vector<std::string>& names);
int CheckSettings(const std::string& settingsFile);

// Empty when the settings file can be read; otherwise why not.
std::string SettingsFileProblem(const std::string& settingsFile);
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
  // The script read again, with a fresh key cache; the library is opened
  // again when the key folders changed. An unreadable file keeps the old script.
  void Reload();
  // Closes the library as "Стоп" does and drops the lock.
  void Finish();

 private:
  void WriteMetrics();

  TRunOptions options_;
  platform::RunLock lock_;
  TCryptoSession session_;
  TMetrics metrics_;
  TConsoleLog console_;
  int32_t interval_ = 0;
  int metricsError_ = 0;  // of the last write, so a lasting failure is told once
};
