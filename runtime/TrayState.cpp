#include "runtime/TrayState.h"

bool TTrayState::Note(const TFailureEvent& event) {
  if (event.Cleared) {
    // The episode the last failure belongs to is over.
    if (last_ && last_->Group == event.Group && last_->File == event.File) last_.reset();
    return false;
  }
  ++unseen_;
  last_ = event;
  return event.Starts;
}

TTrayLook TTrayState::Look() const {
  if (unseen_ > 0) return TTrayLook::Failures;
  return running_ ? TTrayLook::Running : TTrayLook::Idle;
}
