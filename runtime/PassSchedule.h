// When the service's next pass is due. It keeps the rules of the window's
// timer: the first pass one interval after the start, then one every
// interval; ticks that fell due during a long pass collapse into a single
// pass right after it, and the interval is counted again from that one.
#pragma once

#include <chrono>

class TPassSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  TPassSchedule(Clock::time_point start, std::chrono::milliseconds interval) {
    Restart(start, interval);
  }

  // Counts a new interval from now, for a start or a changed interval.
  void Restart(Clock::time_point now, std::chrono::milliseconds interval);
  Clock::time_point Due() const { return due_; }
  bool IsDue(Clock::time_point now) const { return now >= due_; }
  // A pass starts now: the next one is due one interval after this one was,
  // or, when that time is already past, one interval from now.
  void PassStarting(Clock::time_point now);
  std::chrono::milliseconds Interval() const { return interval_; }

 private:
  std::chrono::milliseconds interval_{0};
  Clock::time_point due_;
};
