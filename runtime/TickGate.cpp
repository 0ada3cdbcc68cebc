#include "runtime/TickGate.h"

bool TTickGate::Tick(const std::function<void()>& letEventsThrough,
                     const std::function<void()>& pass) {
  // An event handled below may reach a second tick; it must not start a pass.
  if (busy_) return false;
  struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) { flag = true; }
    ~Busy() { flag = false; }
  } busy(busy_);
  const unsigned stopsBefore = stops_;
  letEventsThrough();
  if (stops_ != stopsBefore) return false;
  pass();
  return true;
}

int TimerIntervalMs(int seconds) {
  if (seconds < 0) return 0;
  if (seconds > kMaxIntervalSeconds) seconds = kMaxIntervalSeconds;
  return seconds * 1000;
}
