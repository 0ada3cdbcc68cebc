// The signals a program without a window answers: SIGTERM and SIGINT ask it
// to stop, SIGHUP to reload its script. They become flags, and a sleep that
// any of them cuts short; SIGPIPE is ignored, so a closed output ends no pass.
#pragma once

#include <signal.h>

#include <cstdint>

namespace platform {

// Installs the handlers (once per process). onStop, when given, also runs
// inside the handler of every stop signal, so it must be async-signal-safe
// (an atomic store). 0, or the errno value of a failure.
int InstallSignalHandlers(void (*onStop)());

// How many stop signals arrived since the handlers were installed.
int StopSignals();
// True once per arrival of SIGHUP (several before a call count as one).
bool TakeReloadSignal();

// Sleeps up to timeoutMs; returns earlier when a signal arrives, or when one
// arrived after the previous wait had returned.
void WaitForSignal(int64_t timeoutMs);

// Holds the stop and reload signals back while it lives; they arrive when it
// ends. For work the stop handler must not see half done.
class DeferredSignals {
 public:
  DeferredSignals();
  ~DeferredSignals();
  DeferredSignals(const DeferredSignals&) = delete;
  DeferredSignals& operator=(const DeferredSignals&) = delete;

 private:
  sigset_t old_;
};

}  // namespace platform
