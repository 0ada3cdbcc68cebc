#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Cp1251.h"
#include "platform/Durable.h"
#include "platform/FaultInjection.h"
#include "platform/FileDescriptor.h"
#include "platform/Profile.h"

namespace platform {
namespace {

std::string NativePath(const std::string& path) {
  return Cp1251ToUtf8(path);
}

// Opens the side file locked for us alone. Two writers of one file take turns
// here instead of writing into each other's side file.
int OpenSide(const std::string& nativeSide, Fd& fd) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    fd.reset(::open(nativeSide.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
      if (errno == ELOOP && ::unlink(nativeSide.c_str()) == 0)
        continue;  // never write through a link
      return errno;
    }
    while (::flock(fd.get(), LOCK_EX) != 0)
      if (errno != EINTR) return errno;
    // The previous holder may have renamed or removed the name meanwhile.
    struct stat mine {
    }, named{};
    if (::fstat(fd.get(), &mine) == 0 && ::lstat(nativeSide.c_str(), &named) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
      return 0;
  }
  return EBUSY;
}

ProfileWriteStats g_stats;

}  // namespace

int ReadProfileFile(const std::string& file, std::string& bytes) {
  bytes.clear();
  // Non-blocking, so that a pipe in the file's place cannot hang the program.
  Fd fd(::open(NativePath(file).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EISDIR;
  bytes.reserve(static_cast<size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    bytes.append(chunk, static_cast<size_t>(n));
  }
}

int64_t ProfileSizeOnDisk(const std::string& file) {
  struct stat st {};
  if (::stat(NativePath(file).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

// The side file is written and flushed, then renamed over the file. A crash
// leaves either the old or the new file, at worst with a side file, which is
// never read and is replaced by the next write.
int ReplaceProfileFile(const std::string& file, const std::string& bytes) {
  if (int fault = InjectedFault("write", file)) return fault;
  const std::string native = NativePath(file);
  const std::string side = NativePath(file + "_tmp");

  struct stat old {};
  const bool hadFile = ::stat(native.c_str(), &old) == 0;
  if (hadFile && !S_ISREG(old.st_mode)) return EISDIR;
  // A read-only settings file stays as it is, as it would on Windows: no
  // write permission for us, or none for anybody (which root would ignore).
  if (hadFile && (old.st_mode & 0222) == 0) return EACCES;
  if (hadFile && ::access(native.c_str(), W_OK) != 0) return errno;

  Fd fd;
  if (int err = OpenSide(side, fd)) return err;
  auto fail = [&](int err) {
    ::unlink(side.c_str());
    return err;
  };
  if (::ftruncate(fd.get(), 0) != 0) return fail(errno);
  if (int err = WriteAll(fd.get(), bytes.data(), bytes.size())) return fail(err);
  if (hadFile && ::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(errno);
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (int fault = InjectedFault("rename", file)) return fail(fault);
  if (::rename(side.c_str(), native.c_str()) != 0) return fail(errno);
  fd.reset();

  // The rename itself reaches the disk with the folder. The new file is in
  // place either way, so a failed folder flush does not fail the write.
  (void)SyncFolder(FolderOf(native));
  ++g_stats.files;
  g_stats.bytes += bytes.size();
  return 0;
}

int64_t ReadableFileSize(const std::string& path) {
  Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

ProfileWriteStats GetProfileWriteStats() {
  return g_stats;
}

}  // namespace platform
