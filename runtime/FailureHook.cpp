#include "runtime/FailureHook.h"

#include <thread>

#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

const char* ClassName(TFailureClass failureClass) {
  switch (failureClass) {
    case TFailureClass::File:
      return "file";
    case TFailureClass::Environment:
      return "environment";
    case TFailureClass::Delivery:
      return "delivery";
  }
  return "file";
}

constexpr std::chrono::milliseconds kReapStep{20};

}  // namespace

TFailureHook::TFailureHook(std::string command) : command_(std::move(command)) {}

std::vector<std::pair<std::string, std::string>> TFailureHook::Variables(const TFailureEvent& event,
                                                                         int episodes) {
  return {{"TESSEL_GROUP", event.Group},
          {"TESSEL_FILE", event.File},
          {"TESSEL_REASON", event.Reason},
          {"TESSEL_CODE", std::to_string(event.Code)},
          {"TESSEL_CLASS", ClassName(event.Class)},
          {"TESSEL_EPISODES", std::to_string(episodes)}};
}

void TFailureHook::Note(const TFailureEvent& event, Clock::time_point now) {
  if (command_.empty() || !event.Starts) return;
  if (!kept_) kept_ = event;
  ++keptEpisodes_;
  StartDue(now, false);
}

std::optional<TFailureHook::Clock::time_point> TFailureHook::Poll(Clock::time_point now) {
  int status = 0;
  if (running_ != 0 && platform::ChildEnded(running_, status)) {
    running_ = 0;
    Ended(status);
  }
  StartDue(now, false);
  if (running_ != 0) return now + kReapStep * 25;
  if (kept_) return *lastStart_ + kMinGap;
  return std::nullopt;
}

bool TFailureHook::Finish(std::chrono::milliseconds limit) {
  const Clock::time_point end = Clock::now() + limit;
  while (running_ != 0 || kept_) {
    const Clock::time_point now = Clock::now();
    int status = 0;
    if (running_ != 0 && platform::ChildEnded(running_, status)) {
      running_ = 0;
      Ended(status);
    }
    StartDue(now, true);
    if (running_ == 0 && !kept_) break;
    if (now >= end) return false;
    std::this_thread::sleep_for(kReapStep);
  }
  return true;
}

void TFailureHook::StartDue(Clock::time_point now, bool ignoreGap) {
  if (!kept_ || running_ != 0) return;
  if (!ignoreGap && lastStart_ && now < *lastStart_ + kMinGap) return;
  lastStart_ = now;
  const auto variables = Variables(*kept_, keptEpisodes_);
  kept_.reset();
  keptEpisodes_ = 0;
  long pid = 0;
  if (int err = platform::StartShellCommand(command_, variables, pid)) {
    StartFailed(err);
    return;
  }
  running_ = pid;
}

void TFailureHook::Ended(int status) {
  if (status == 0) {
    failing_ = false;
    return;
  }
  // 128 + N also when a signal N ended it, as a shell tells it.
  Failed("код завершения " + std::to_string(status));
}

void TFailureHook::StartFailed(int error) {
  Failed("не запустилась: " + platform::ErrorText(error));
}

void TFailureHook::Failed(const std::string& why) {
  if (failing_) return;  // told already; the next success clears it
  failing_ = true;
  WriteFailureLog({"Команда при сбое - ошибка", command_, why});
}
