#include "platform/ServiceNotify.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>

#include "platform/Cp1251.h"

namespace platform {

bool ServiceManagerListens() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  return socket && *socket;
}

int NotifyServiceManager(const std::string& state) {
  if (!ServiceManagerListens()) return 0;
  const int sent = ::sd_notify(0, Cp1251ToUtf8(state).c_str());
  return sent < 0 ? -sent : 0;
}

std::chrono::microseconds WatchdogPeriod() {
  uint64_t usec = 0;
  if (::sd_watchdog_enabled(0, &usec) <= 0) return {};
  return std::chrono::microseconds(usec);
}

}  // namespace platform
