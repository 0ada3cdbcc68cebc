#include "runtime/PassSchedule.h"

void TPassSchedule::Restart(Clock::time_point now, std::chrono::milliseconds interval) {
  interval_ = interval;
  due_ = now + interval_;
}

void TPassSchedule::PassStarting(Clock::time_point now) {
  due_ += interval_;
  if (due_ < now) due_ = now + interval_;
}
