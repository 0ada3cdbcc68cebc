// Runs the window's passes on a second thread, one at a time, and carries
// what a pass reports (its log lines, its progress, its end) back to the
// window's thread in the order it happened.
//
// The window's thread starts passes and takes the reports; the pass's thread
// only reports. From Start until the report of its end has been taken the
// pass is in flight: the script belongs to the pass, and the window neither
// edits it nor starts another pass, so the model is touched by one thread at
// a time. Nothing here knows of Qt: the window is woken through a callback.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/uTesselTypes.h"

class TBackgroundPass {
 public:
  struct TLine {
    std::string Text;
    TLogKind Kind = TLogKind::Normal;
  };
  struct TProgress {
    int Group = -1;  // index in the registry
    int File = 0;    // from 1; 0: between files
    int Files = 0;
    // What the pass is doing (a step, a delivery, work between files), the
    // working file it writes and the bytes of the file in hand.
    std::string What{}, Output{};
    uint64_t Bytes = 0;
    uint64_t Done = 0;  // of Bytes, as the reader last measured (MeasureProgress)
  };
  struct TReport {
    std::vector<TLine> Lines;
    std::optional<TProgress> Progress;    // the latest only
    std::vector<TFailureEvent> Failures;  // in the order they happened
    bool PassEnded = false;
  };

  // wake is called, on whichever thread reports, when a report starts to
  // wait; it is called again only after Take has taken it. It must not block
  // (the window posts itself a call to Take).
  explicit TBackgroundPass(std::function<void()> wake);
  // Waits for the pass in flight and ends the thread.
  ~TBackgroundPass();
  TBackgroundPass(const TBackgroundPass&) = delete;
  TBackgroundPass& operator=(const TBackgroundPass&) = delete;

  // Window's thread. False, and nothing started, while a pass is in flight.
  bool Start(std::function<void()> pass);
  bool InFlight() const;
  // Blocks until the pass has ended; its report may still wait to be taken.
  void WaitForEnd();
  // Everything reported since the last Take; the pass is no longer in flight
  // once a report with PassEnded has been taken.
  TReport Take();
  // Only the lines, for a line the window's own thread writes: they go
  // first, so the view keeps the order of the log file.
  std::vector<TLine> TakeLines();

  // Any thread.
  void AddLine(std::string text, TLogKind kind);
  void SetProgress(int group, int file, int files);
  // Keeps the file's place; between files, the work is the group's.
  void SetActivity(int group, std::string what, std::string output, uint64_t bytes);
  void AddFailure(TFailureEvent failure);

 private:
  void Loop();
  // Called with the lock held; true when the window must be woken.
  bool MarkWaiting();

  const std::function<void()> wake_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;  // handed to the thread, not yet begun
  bool running_ = false;       // a job is handed over or running
  bool inFlight_ = false;
  bool quit_ = false;
  bool waiting_ = false;  // a report waits and the window has been woken
  TReport report_;
  TProgress last_;  // the latest progress, also once taken
  std::thread thread_;
};
