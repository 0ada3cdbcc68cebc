#include "platform/Writers.h"

#include <fcntl.h>
#include <signal.h>

#include <cerrno>
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
}

int OpenedFile::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
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
  check.writers = Lease(path, fd.get(), check.stat.size <= leaseKeptUpTo);
  check.opened = std::make_shared<OpenedFile>();
  check.opened->Hold(fd.Release(), check.stat.size, check.stat.mode);
  return check;
}

}  // namespace platform
