// What the window's tray icon shows, without widgets: running, stopped, or
// failures the operator has not looked at yet; and which failure events are
// worth a desktop notification. Fed on the window's thread with the events a
// pass reports and with the operator's looks (the window activated, the icon
// clicked).
#pragma once

#include <optional>

#include "engine/PassContext.h"

enum class TTrayLook { Idle, Running, Failures };

class TTrayState {
 public:
  void SetRunning(bool running) { running_ = running; }
  // True when the event is to be told to a person now: the first event of a
  // failure episode. Later events of the episode, and its clearing, only
  // count or update the last failure.
  bool Note(const TFailureEvent& event);
  // The operator has seen the window: the failures so far are no longer new.
  void Looked() { unseen_ = 0; }

  TTrayLook Look() const;
  // Failure events since the last look; a cleared one is no failure.
  int Unseen() const { return unseen_; }
  // The last failure that has not cleared since, for the status line.
  const std::optional<TFailureEvent>& LastFailure() const { return last_; }

 private:
  bool running_ = false;
  int unseen_ = 0;
  std::optional<TFailureEvent> last_;
};
