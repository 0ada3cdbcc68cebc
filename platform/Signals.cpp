#include "platform/Signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

std::atomic<int> stops{0};
std::atomic<bool> reload{false};
void (*stopHook)() = nullptr;
// The handler writes one byte per signal; the sleep waits for it. A byte left
// from a signal that came between two sleeps ends the next one at once.
int wakeRead = -1;
int wakeWrite = -1;

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

void OnSignal(int signal) {
  const int savedErrno = errno;
  if (signal == SIGHUP) {
    reload.store(true);
  } else {
    stops.fetch_add(1);
    if (stopHook) stopHook();
  }
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
  errno = savedErrno;
}

void HandledSignals(sigset_t& set) {
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
}

}  // namespace

int InstallSignalHandlers(void (*onStop)()) {
  if (wakeWrite < 0) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return errno;
    wakeRead = fds[0];
    wakeWrite = fds[1];
  }
  stopHook = onStop;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  // Calls interrupted by a signal go on: the pass and the key utility's wait
  // must not fail because someone asked for a stop.
  action.sa_flags = SA_RESTART;
  HandledSignals(action.sa_mask);  // one handler at a time
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    if (::sigaction(signal, &action, nullptr) != 0) return errno;
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  if (::sigaction(SIGPIPE, &ignore, nullptr) != 0) return errno;
  return 0;
}

int StopSignals() {
  return stops.load();
}

bool TakeReloadSignal() {
  return reload.exchange(false);
}

void WaitForSignal(int64_t timeoutMs) {
  if (wakeRead < 0) {
    // No handlers: a plain sleep.
    ::poll(nullptr, 0, timeoutMs > 0x7fffffff ? 0x7fffffff : static_cast<int>(timeoutMs));
    return;
  }
  pollfd fd{wakeRead, POLLIN, 0};
  if (timeoutMs < 0) timeoutMs = 0;
  const int ms = timeoutMs > 0x7fffffff ? 0x7fffffff : static_cast<int>(timeoutMs);
  if (::poll(&fd, 1, ms) > 0) {
    char buffer[64];
    while (::read(wakeRead, buffer, sizeof buffer) > 0) {
    }
  }
}

DeferredSignals::DeferredSignals() {
  sigset_t set;
  HandledSignals(set);
  ::sigprocmask(SIG_BLOCK, &set, &old_);
}

DeferredSignals::~DeferredSignals() {
  ::sigprocmask(SIG_SETMASK, &old_, nullptr);
}

}  // namespace platform
