#include "platform/Durable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

#include "platform/Cp1251.h"
#include "platform/FaultInjection.h"
#include "platform/FileDescriptor.h"

namespace platform {
namespace {

constexpr size_t kNameMax = 255;
constexpr size_t kSideDigits = 16;
std::atomic<bool> g_forceSideNames{false};

// The fault hook works on the system's own (Windows-1251) paths.
int Fault(std::string_view operation, const std::string& nativePath) {
  if (!FaultHookSet()) return 0;
  return InjectedFault(operation, Utf8ToCp1251Lossy(nativePath));
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// Kernels before 6.10 refuse to link a descriptor itself to a process
// without CAP_DAC_READ_SEARCH; once refused, it is not asked again.
std::atomic<bool> g_emptyPathRefused{false};
std::atomic<bool> g_refuseEmptyPathForTests{false};

// Names an unnamed file: 0 or the errno of the link. Its descriptor linked
// itself spares resolving its name under /proc, half the link's cost. That
// refusal and a missing target folder both say ENOENT: the /proc name,
// asked then, tells them apart.
int LinkUnnamed(int fd, const std::string& nativeTarget) {
  if (!g_emptyPathRefused.load(std::memory_order_relaxed)) {
    const bool refused = g_refuseEmptyPathForTests.load();
    if (!refused && ::linkat(fd, "", AT_FDCWD, nativeTarget.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (!refused && errno != ENOENT) return errno;
  }
  const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, nativeTarget.c_str(), AT_SYMLINK_FOLLOW) != 0)
    return errno;
  g_emptyPathRefused.store(true, std::memory_order_relaxed);
  return 0;
}

}  // namespace

int WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

int SyncFolder(const std::string& nativeFolder) {
  platform::Fd dir(::open(nativeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return errno;
  return ::fsync(dir.get()) == 0 ? 0 : errno;
}

bool NoUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

std::string FolderOf(const std::string& nativePath) {
  const auto slash = nativePath.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : nativePath.substr(0, slash);
}

std::string SideNameFor(const std::string& nativeTarget) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".~%016llx", static_cast<unsigned long long>(rng()));
  const auto slash = nativeTarget.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : nativeTarget.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? nativeTarget : nativeTarget.substr(slash + 1);
  const size_t room = kNameMax - 1 - (sizeof ".~" - 1) - kSideDigits;
  if (name.size() > room) {
    size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    name.resize(end);
  }
  return folder + "." + name + suffix;
}

bool IsSideName(std::string_view name) {
  constexpr size_t kTail = 2 + kSideDigits;  // ".~" and the digits
  if (name.size() < 1 + kTail || name.front() != '.') return false;
  const std::string_view tail = name.substr(name.size() - kTail);
  if (tail[0] != '.' || tail[1] != '~') return false;
  for (char c : tail.substr(2))
    if (!IsHexDigit(c)) return false;
  return true;
}

void AtomicFile::ForceSideNamesForTests(bool force) {
  g_forceSideNames.store(force);
}

void AtomicFile::RefuseDescriptorLinksForTests(bool refuse) {
  g_refuseEmptyPathForTests.store(refuse);
  g_emptyPathRefused.store(false);  // asked again, as by a new process
}

int AtomicFile::Create(const std::string& nativeTarget, unsigned mode) {
  Discard();
  target_ = nativeTarget;
  side_.clear();
  if (!g_forceSideNames.load()) {
    fd_ = ::open(FolderOf(nativeTarget).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ < 0 && !NoUnnamedFiles(errno)) return errno;
    unnamed_ = fd_ >= 0;
  }
  if (!unnamed_) {
    side_ = SideNameFor(nativeTarget);
    if (BeforeSideName)
      if (int err = BeforeSideName(side_)) return err;
    if (int fault = Fault("create", side_)) return fault;
    fd_ = ::open(side_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ < 0) return errno;
    sideNamed_ = true;
  }
  return 0;
}

int AtomicFile::Commit(bool synced) {
  auto fail = [this](int err) {
    Discard();
    return err;
  };
  if (fd_ < 0) return EBADF;
  if (synced && ::fsync(fd_) != 0) return fail(errno);
  if (unnamed_) {
    if (int fault = Fault("link", target_)) return fail(fault);
    const int linked = LinkUnnamed(fd_, target_);
    if (linked == 0) {
      ::close(fd_);
      fd_ = -1;
      return synced ? SyncFolder(FolderOf(target_)) : 0;
    }
    if (linked != EEXIST) return fail(linked);
    // The target exists: the file takes its side name, then the target's.
    side_ = SideNameFor(target_);
    if (BeforeSideName)
      if (int err = BeforeSideName(side_)) return fail(err);
    if (int fault = Fault("link", side_)) return fail(fault);
    if (int err = LinkUnnamed(fd_, side_)) return fail(err);
    sideNamed_ = true;
  }
  ::close(fd_);
  fd_ = -1;
  if (int fault = Fault("rename", target_)) return fail(fault);
  if (::rename(side_.c_str(), target_.c_str()) != 0) return fail(errno);
  sideNamed_ = false;
  return synced ? SyncFolder(FolderOf(target_)) : 0;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (sideNamed_) ::unlink(side_.c_str());
  sideNamed_ = false;
  unnamed_ = false;
}

}  // namespace platform
