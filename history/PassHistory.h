// The history a program's passes keep: the database beside the event log and
// the recorder that fills it, opened on first use and again when the log has
// moved (another script loaded). Not shared between threads: the window asks
// for it on its own thread before it starts a pass, and the pass alone uses
// what it got until it has ended; the hand-over of the pass orders the two.
#pragma once

#include <memory>
#include <string>

#include "engine/FileRoad.h"

class THistoryStore;
class THistoryRecorder;

class TPassHistory {
 public:
  // version: the program's, written into each record.
  explicit TPassHistory(std::string version);
  ~TPassHistory();
  TPassHistory(const TPassHistory&) = delete;
  TPassHistory& operator=(const TPassHistory&) = delete;

  // The sink to hand a pass of the script: the history at HistoryPath(),
  // keeping records for retentionDays (0: all). A database that cannot be
  // written is told on the event log as a failure line.
  TFileRoadSink* For(const std::string& script, int retentionDays);
  // Closes the database (before the run lock goes); For opens it again.
  void Close();

 private:
  std::string version_;
  std::string path_, script_;
  std::unique_ptr<THistoryStore> store_;
  std::unique_ptr<THistoryRecorder> recorder_;
};
