// One runner per script: an exclusive lock tied to a settings file, held
// while a program can run passes over that script. The lock lives on a side
// file beside the settings file (its name with ".lock" appended), because a
// save replaces the settings file itself. The kernel drops the lock when its
// holder ends in any way, so a left-over lock file never blocks anybody.
#pragma once

#include <string>

namespace platform {

class RunLock {
 public:
  RunLock() = default;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock() { Release(); }

  // 0 when the lock is now held by this object (also when it already was);
  // EWOULDBLOCK when another process holds it, with its process id in
  // *holder (0 when it cannot be told); another errno value when the lock
  // file cannot be opened.
  [[nodiscard]] int Acquire(const std::string& settingsFile, long* holder = nullptr);
  void Release();
  bool Held() const { return fd_ >= 0; }

  // The lock file of a settings file.
  static std::string LockPath(const std::string& settingsFile);
  // The id of another process that holds the lock of the settings file now,
  // 0 when none does (or it cannot be told). Only asks: the lock is never
  // taken, so a runner starting at the same moment is not refused. While
  // this object holds the lock it answers 0 without opening the file, since
  // closing another descriptor of it would drop the lock.
  long OtherHolder(const std::string& settingsFile) const;

 private:
  int fd_ = -1;
};

}  // namespace platform
