// What tessel run tells the service manager: ready, its status after each
// pass, a reload under way, the stop; and the watchdog's ping while the
// service lives. Without a service manager listening nothing is sent and no
// thread runs.
//
// The watchdog: a thread pings twice per period for as long as the service
// shows it moves (Alive: each turn of the service's loop, each file a pass
// begins). A service stuck longer than kStallLimit (a pass that hangs)
// stops being pinged, and the service manager restarts it. The limit is far
// above the time of any one file, so a large file is never taken for a hang.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class TServiceNotifier {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::minutes kStallLimit{60};

  // Reads NOTIFY_SOCKET and WATCHDOG_USEC; starts the watchdog's thread
  // when a period was asked for.
  TServiceNotifier();
  ~TServiceNotifier();
  TServiceNotifier(const TServiceNotifier&) = delete;
  TServiceNotifier& operator=(const TServiceNotifier&) = delete;

  bool Listens() const { return listens_; }
  // How long the service may sleep without telling Alive; zero: no limit.
  std::chrono::milliseconds AliveInterval() const;

  void Ready(const std::string& status);  // Windows-1251
  void Status(const std::string& status);
  void Reloading();
  void Stopping();
  void Alive() { lastAlive_.store(Clock::now().time_since_epoch().count()); }

 private:
  void Send(const std::string& state);
  void PingWhileAlive();

  bool listens_ = false;
  int sendError_ = 0;  // of the last notification, so a lasting failure is told once
  std::chrono::microseconds period_{0};
  std::atomic<Clock::rep> lastAlive_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool ending_ = false;
  std::thread pinger_;
};
