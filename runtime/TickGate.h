// One timer tick of the running script: let the waiting window events
// through, then run one pass. Two passes never overlap, and a Stop handled
// while the events go through cancels that tick's pass (the library is closed
// by then).
#pragma once

#include <functional>

class TTickGate {
 public:
  // True when the pass ran.
  bool Tick(const std::function<void()>& letEventsThrough, const std::function<void()>& pass);
  // Called by "Стоп" and by closing the window.
  void NoteStop() { ++stops_; }
  bool Busy() const { return busy_; }

 private:
  bool busy_ = false;
  unsigned stops_ = 0;
};

// The timer interval in milliseconds for the interval field's seconds.
int TimerIntervalMs(int seconds);
// The largest interval whose milliseconds still fit the timer.
inline constexpr int kMaxIntervalSeconds = 2147483;
