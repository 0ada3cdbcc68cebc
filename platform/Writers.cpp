#include "platform/Writers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "platform/Cp1251.h"
#include "platform/FaultInjection.h"
#include "platform/FileDescriptor.h"

namespace platform {
namespace {

// The default action of SIGIO ends the process: a writer opening the file in
// the instant the lease is held must not do that.
void IgnoreLeaseBreaks() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      ::sigaction(SIGIO, &ignore, nullptr);
    }
  });
}

}  // namespace

OpenedFile::~OpenedFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OpenedFile::Hold(int fd, uint64_t size, unsigned mode) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  size_ = size;
  mode_ = mode;
  leased_ = false;
}

int OpenedFile::Release() {
  const int fd = fd_;
  fd_ = -1;
  leased_ = false;
  return fd;
}

void OpenedFile::DropLease() {
  if (leased_ && fd_ >= 0) ::fcntl(fd_, F_SETLEASE, F_UNLCK);
  leased_ = false;
}

void OpenedFile::Close() {
  if (fd_ >= 0) ::close(Release());
}

size_t OpenedFilesToKeep() {
  static const size_t keep = [] {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return size_t{0};
    if (limit.rlim_cur == RLIM_INFINITY) return size_t{1} << 16;
    return static_cast<size_t>(limit.rlim_cur / 2);
  }();
  return keep;
}

namespace {

// The kernel's lease-break time, read once; zero when it cannot be read.
std::chrono::seconds LeaseBreakTime() {
  static const std::chrono::seconds time = [] {
    std::string text;
    if (ReadWholeFile("/proc/sys/fs/lease-break-time", text) != 0) return std::chrono::seconds(0);
    return std::chrono::seconds(std::strtol(text.c_str(), nullptr, 10));
  }();
  return time;
}

}  // namespace

bool LeaseStillHolds(std::chrono::steady_clock::time_point leasedAt) {
  return std::chrono::steady_clock::now() - leasedAt < LeaseBreakTime() / 2;
}

namespace {

// Asks for a read lease on the opened file; one got stays with the
// descriptor when kept, else it is dropped at once.
WriterState Lease(const std::string& path, int fd, bool keepLease) {
  if (int fault = InjectedFault("lease", path))
    return fault == EAGAIN ? WriterState::Writing : WriterState::Unknown;
  IgnoreLeaseBreaks();
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0)
    return errno == EAGAIN || errno == EBUSY ? WriterState::Writing : WriterState::Unknown;
  if (!keepLease) ::fcntl(fd, F_SETLEASE, F_UNLCK);
  return WriterState::None;
}

int OpenToRead(const std::string& path) {
  return ::open(Cp1251ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
}

}  // namespace

WriterState CheckWriters(const std::string& path, OpenedFile* kept) {
  if (!kept || !kept->IsOpen()) return CheckWriters(path);
  const WriterState state = Lease(path, kept->fd_, /*keepLease=*/true);
  kept->leased_ = state == WriterState::None;
  return state;
}

WriterState CheckWriters(const std::string& path) {
  Fd fd(OpenToRead(path));
  if (fd.get() < 0) return WriterState::Unknown;
  // Closing the descriptor takes the lease with it.
  return Lease(path, fd.get(), /*keepLease=*/true);
}

TakeCheck OpenToTake(const std::string& path, uint64_t leaseKeptUpTo) {
  TakeCheck check;
  Fd fd(OpenToRead(path));
  if (fd.get() < 0) {
    check.error = errno;
    return check;
  }
  if (int err = DescriptorStat(fd.get(), check.stat)) {
    check.error = err;
    return check;
  }
  if (!check.stat.isRegular) return check;
  const bool keepLease = check.stat.size <= leaseKeptUpTo;
  const auto asked = std::chrono::steady_clock::now();
  check.writers = Lease(path, fd.get(), keepLease);
  check.opened = std::make_shared<OpenedFile>();
  check.opened->Hold(fd.Release(), check.stat.size, check.stat.mode);
  check.opened->leased_ = keepLease && check.writers == WriterState::None;
  check.opened->leasedAt_ = asked;
  return check;
}

}  // namespace platform
