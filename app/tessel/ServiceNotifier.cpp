#include "app/tessel/ServiceNotifier.h"

#include "app/tessel/Console.h"
#include "platform/Files.h"
#include "platform/ServiceNotify.h"

TServiceNotifier::TServiceNotifier() : listens_(platform::ServiceManagerListens()) {
  if (!listens_) return;
  period_ = platform::WatchdogPeriod();
  Alive();
  if (period_.count() > 0) pinger_ = std::thread([this] { PingWhileAlive(); });
}

TServiceNotifier::~TServiceNotifier() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  wake_.notify_all();
  if (pinger_.joinable()) pinger_.join();
}

std::chrono::milliseconds TServiceNotifier::AliveInterval() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(period_ / 2);
}

void TServiceNotifier::Ready(const std::string& status) {
  Send("READY=1\nSTATUS=" + status);
}

void TServiceNotifier::Status(const std::string& status) {
  Send("STATUS=" + status);
}

void TServiceNotifier::Reloading() {
  Send("RELOADING=1");
}

void TServiceNotifier::Stopping() {
  Send("STOPPING=1");
}

void TServiceNotifier::Send(const std::string& state) {
  if (!listens_) return;
  // Lost notifications change nothing in the service's work; they are told
  // on standard error, where the service manager's journal has them.
  const int err = platform::NotifyServiceManager(state);
  if (err != 0 && err != sendError_)
    PrintError("Уведомление диспетчера служб не отправлено: " + platform::ErrorText(err));
  sendError_ = err;
}

void TServiceNotifier::PingWhileAlive() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!ending_) {
    const Clock::time_point alive{Clock::duration(lastAlive_.load())};
    if (Clock::now() - alive < kStallLimit) (void)platform::NotifyServiceManager("WATCHDOG=1");
    wake_.wait_for(lock, period_ / 2, [this] { return ending_; });
  }
}
