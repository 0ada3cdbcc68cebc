#include "platform/RunLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Cp1251.h"

namespace platform {

std::string RunLock::LockPath(const std::string& settingsFile) {
  return settingsFile + ".lock";
}

int RunLock::Acquire(const std::string& settingsFile, long* holder) {
  if (holder) *holder = 0;
  if (fd_ >= 0) return 0;
  const std::string path = Cp1251ToUtf8(LockPath(settingsFile));
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return errno;
  // A process-wide record lock: its holder's id can be asked for, which an
  // open-file lock cannot tell. This object keeps the only descriptor of the
  // file in the process, so no other close can drop the lock early.
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd, F_SETLK, &lock) != 0) {
    const int err = errno == EACCES ? EWOULDBLOCK : errno;
    if (err == EWOULDBLOCK && holder) {
      struct flock probe {};
      probe.l_type = F_WRLCK;
      probe.l_whence = SEEK_SET;
      if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) *holder = probe.l_pid;
    }
    ::close(fd);
    return err;
  }
  // The holder's id, for people who look at the file.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
  }
  fd_ = fd;
  return 0;
}

long RunLock::OtherHolder(const std::string& settingsFile) const {
  if (fd_ >= 0) return 0;
  const std::string path = Cp1251ToUtf8(LockPath(settingsFile));
  // No lock file: nobody has ever run the script here, nobody holds it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return 0;
  // A record lock of this process never conflicts with its own asking.
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  long holder = 0;
  if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) holder = probe.l_pid;
  ::close(fd);
  return holder;
}

void RunLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing drops the lock
  fd_ = -1;
}

}  // namespace platform
