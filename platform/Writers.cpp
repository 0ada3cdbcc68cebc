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

void OpenedFile::Hold(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  known_ = false;
}

void OpenedFile::Hold(int fd, uint64_t size, unsigned mode) {
  Hold(fd);
  known_ = true;
  size_ = size;
  mode_ = mode;
}

int OpenedFile::Release() {
  const int fd = fd_;
  fd_ = -1;
  known_ = false;
  return fd;
}

WriterState CheckWriters(const std::string& path, std::shared_ptr<OpenedFile>* keep,
                         bool leaseWhileKept) {
  if (int fault = InjectedFault("lease", path))
    return fault == EAGAIN ? WriterState::Writing : WriterState::Unknown;
  IgnoreLeaseBreaks();
  Fd fd(::open(Cp1251ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (fd.get() < 0) return WriterState::Unknown;
  auto kept = [&] {
    if (!keep) return;
    *keep = std::make_shared<OpenedFile>();
    (*keep)->Hold(fd.Release());
  };
  if (::fcntl(fd.get(), F_SETLEASE, F_RDLCK) != 0) {
    const WriterState state =
        errno == EAGAIN || errno == EBUSY ? WriterState::Writing : WriterState::Unknown;
    kept();
    return state;
  }
  // A descriptor closed here takes its lease with it; one kept for a copy
  // that may take long must not hold the lease that long.
  if (keep && !leaseWhileKept) ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
  kept();
  return WriterState::None;
}

}  // namespace platform
