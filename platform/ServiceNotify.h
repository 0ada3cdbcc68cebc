// The service manager's notification socket: readiness, status text,
// reloads, the stop and the watchdog's pings. Without NOTIFY_SOCKET in the
// environment (not started as a Type=notify service) nothing is sent.
#pragma once

#include <chrono>
#include <string>

namespace platform {

// True when the service manager listens for notifications.
bool ServiceManagerListens();

// Sends newline-separated assignments ("READY=1", "STATUS=..."); status
// text is given in Windows-1251 and sent as UTF-8. 0 when sent or nobody
// listens, otherwise the errno value.
int NotifyServiceManager(const std::string& state);

// The watchdog's period that the service manager asked this process for
// (WATCHDOG_USEC, when WATCHDOG_PID is unset or ours); zero: no watchdog.
std::chrono::microseconds WatchdogPeriod();

}  // namespace platform
