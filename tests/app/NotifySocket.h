// A datagram socket standing in for the service manager's: NOTIFY_SOCKET
// names it (and WATCHDOG_USEC the watchdog's period, when given) while it
// lives, for this process and the programs it starts.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Cp1251.h"

namespace tessel_test {

class TNotifySocket {
 public:
  TNotifySocket(const std::string& folder, const char* watchdogUsec) {
    path_ = platform::Cp1251ToUtf8(folder) + "notify";
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    timeval limit{30, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setenv("NOTIFY_SOCKET", path_.c_str(), 1);
    ::unsetenv("WATCHDOG_PID");
    if (watchdogUsec)
      ::setenv("WATCHDOG_USEC", watchdogUsec, 1);
    else
      ::unsetenv("WATCHDOG_USEC");
  }
  ~TNotifySocket() {
    ::unsetenv("NOTIFY_SOCKET");
    ::unsetenv("WATCHDOG_USEC");
    ::close(fd_);
  }
  TNotifySocket(const TNotifySocket&) = delete;
  TNotifySocket& operator=(const TNotifySocket&) = delete;

  bool Bound() const { return bound_; }
  // The next message, in the system's Windows-1251; empty after 30 s
  // without one.
  std::string Next() {
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    return n > 0 ? platform::Utf8ToCp1251Lossy(std::string(buffer, static_cast<size_t>(n)))
                 : std::string();
  }
  // The next message that is not a watchdog's ping; pings counts those passed.
  std::string NextButPings(int* pings = nullptr) {
    std::string message;
    while ((message = Next()) == "WATCHDOG=1")
      if (pings) ++*pings;
    return message;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool bound_ = false;
};

}  // namespace tessel_test
