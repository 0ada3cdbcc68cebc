// The operator's command run when a failure episode starts (tessel's
// --on-failure, the script's ON_FAILURE): "/bin/sh -c COMMAND" with the
// failure in its environment, so that it can send mail, post to a webhook
// or page someone.
//
// - Once per episode: only an event that starts one runs it; the episode's
//   later events add nothing.
// - Never in the way of the pass: the command is started and left running;
//   Poll reaps it later.
// - At most one run at a time, and starts at least kMinGap apart. Episodes
//   that start meanwhile are told together by the next run: the first of
//   them in TESSEL_GROUP, TESSEL_FILE, TESSEL_REASON, TESSEL_CODE and
//   TESSEL_CLASS, their number in TESSEL_EPISODES.
// - A command that cannot start or ends with a non-zero status is a
//   failure line, once until a run succeeds again.
//
// Used from one thread (the one that runs the passes).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/PassContext.h"

class TFailureHook {
 public:
  using Clock = std::chrono::steady_clock;
  // The least time from one run's start to the next.
  static constexpr std::chrono::seconds kMinGap{60};

  // Windows-1251; empty: no command, nothing runs.
  explicit TFailureHook(std::string command);
  // A run still going is left to finish on its own.
  ~TFailureHook() = default;
  TFailureHook(const TFailureHook&) = delete;
  TFailureHook& operator=(const TFailureHook&) = delete;

  const std::string& Command() const { return command_; }
  // A new command (a reloaded script) for the runs to come; a run going on
  // and the episodes kept stay.
  void SetCommand(std::string command) { command_ = std::move(command); }
  // A failure as the pass told it; one that starts an episode runs the
  // command now, or is kept for the next run.
  void Note(const TFailureEvent& event, Clock::time_point now);
  // Reaps a run that ended and starts the next when it is due. The time by
  // which it wants to be called again; none: nothing runs or waits.
  std::optional<Clock::time_point> Poll(Clock::time_point now);
  // Before the program ends: waits up to limit for the run in hand, then
  // runs what is kept at once (the gap no longer matters) and waits for it
  // too. False when a run was still going at the limit.
  bool Finish(std::chrono::milliseconds limit);

  // The variables a run gets for an episode and the number told with it.
  static std::vector<std::pair<std::string, std::string>> Variables(const TFailureEvent& event,
                                                                    int episodes);

 private:
  void StartDue(Clock::time_point now, bool ignoreGap);
  void Ended(int status);
  void StartFailed(int error);
  void Failed(const std::string& why);

  std::string command_;
  long running_ = 0;  // the child's id; 0: none
  std::optional<Clock::time_point> lastStart_;
  std::optional<TFailureEvent> kept_;  // the first episode not yet told
  int keptEpisodes_ = 0;
  bool failing_ = false;  // the last run failed and was logged
};
