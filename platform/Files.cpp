#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "platform/Cp1251.h"
#include "platform/Durable.h"
#include "platform/FaultInjection.h"
#include "platform/FileDescriptor.h"
#include "platform/Writers.h"

namespace platform {
namespace {

// Windows-1251 -> UTF-8 for system calls. Every byte has a form.
std::string Native(const std::string& path) {
  return Cp1251ToUtf8(path);
}

std::string FromLocale(const char* text) {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset && std::strcmp(codeset, "UTF-8") == 0) return Utf8ToCp1251Lossy(text);
  return text;  // the C locale's messages are ASCII
}

// The last part of a native path: a file's name in its folder.
const char* NameOf(const std::string& nativePath) {
  const auto slash = nativePath.rfind('/');
  return nativePath.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// The source's bytes as its size was when opened, read whole into the
// tap's buffer and written from it.
int CopyThroughBuffer(int in, int out, uint64_t size, std::span<char> buf, CopyTap& tap,
                      uint64_t& copied) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n =
        ::pread(in, buf.data() + got, static_cast<size_t>(size) - got, static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (int err = WriteAll(out, buf.data(), got)) return err;
  tap.Read(got);
  copied = got;
  return 0;
}

// Copies the source's bytes as its size was when opened: a copy that reached
// it does not ask again to learn that nothing follows. A file that grows
// meanwhile is copied as it was, which its writer's later look at it tells
// (the pass compares the source before and after). The source is read from
// its start whatever its descriptor's position (one kept open by the copy
// that wrote it stands at its end).
// A tap is told of the target's growth a piece at a time, so that it can
// read what is there while the rest is copied. written: the bytes copied.
int CopyData(int in, int out, uint64_t size, CopyTap* tap, uint64_t& written) {
  written = 0;
  if (tap) {
    const std::span<char> buf = tap->Buffer(size);
    if (buf.size() >= size) return CopyThroughBuffer(in, out, size, buf, *tap, written);
  }
  const size_t piece = tap ? size_t{8} << 20 : size_t{1} << 30;
  bool kernelCopy = true;
  loff_t copied = 0;
  for (;;) {
    written = static_cast<uint64_t>(copied);
    if (kernelCopy) {
      if (static_cast<uint64_t>(copied) >= size) return 0;
      ssize_t n = ::copy_file_range(in, &copied, out, nullptr, piece, 0);
      if (n > 0) {
        if (tap) tap->Copied(static_cast<uint64_t>(copied));
        continue;
      }
      if (n == 0) return 0;
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
        kernelCopy = false;  // not offered here: copy through a buffer
        continue;
      }
      return errno;
    }
    static constexpr size_t kBuffer = 1 << 20;
    std::unique_ptr<char[]> buf(new char[kBuffer]);
    for (;;) {
      ssize_t n = ::pread(in, buf.get(), kBuffer, copied);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return 0;
      if (int err = WriteAll(out, buf.get(), static_cast<size_t>(n))) return err;
      copied += n;
      written = static_cast<uint64_t>(copied);
      if (tap) tap->Copied(static_cast<uint64_t>(copied));
    }
  }
}

}  // namespace

namespace {
void FillStat(const struct stat& st, FileStat& out) {
  out.isFolder = S_ISDIR(st.st_mode);
  out.isRegular = S_ISREG(st.st_mode);
  out.size = static_cast<uint64_t>(st.st_size);
  out.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  out.mode = static_cast<unsigned>(st.st_mode & 07777);
  out.owner = static_cast<unsigned>(st.st_uid);
  out.device = static_cast<uint64_t>(st.st_dev);
  out.inode = static_cast<uint64_t>(st.st_ino);
}
}  // namespace

int StatPath(const std::string& path, FileStat& out) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return errno;
  FillStat(st, out);
  return 0;
}

int LinkStat(const std::string& path, FileStat& out) {
  struct stat st {};
  if (::lstat(Native(path).c_str(), &st) != 0) return errno;
  FillStat(st, out);
  return 0;
}

int DescriptorStat(int fd, FileStat& out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return errno;
  FillStat(st, out);
  return 0;
}

bool IsFolder(const std::string& path) {
  FileStat st;
  return StatPath(path, st) == 0 && st.isFolder;
}

int ListFolder(const std::string& folder, std::vector<DirEntry>& entries,
               std::vector<std::string>* unnamed) {
  const std::string native = Native(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), ::closedir);
  if (!dir) return errno;
  for (;;) {
    errno = 0;
    dirent* e = ::readdir(dir.get());
    if (!e) return errno;
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    auto name = Utf8ToCp1251(e->d_name);
    if (!name) {
      if (unnamed) unnamed->push_back(Utf8ToCp1251Lossy(e->d_name));
      continue;
    }
    EntryKind kind = EntryKind::Other;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(::dirfd(dir.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
    }
    if (type == DT_REG) kind = EntryKind::Regular;
    if (type == DT_DIR) kind = EntryKind::Folder;
    entries.push_back({std::move(*name), kind});
  }
}

int CopyFile(const std::string& src, const std::string& dst, Durability durability,
             SourceLink link) {
  CopyOptions options;
  options.durability = durability;
  options.link = link;
  return CopyFile(src, dst, options);
}

int CopyFile(const std::string& src, const std::string& dst, const CopyOptions& options) {
  if (int fault = InjectedFault("copy", dst)) return fault;
  const std::string nativeSrc = Native(src);
  const std::string nativeDst = Native(dst);
  // Non-blocking, so a pipe put where a file was cannot hold the open until a
  // writer comes; reads of a regular file are not affected.
  const int flags =
      O_RDONLY | O_CLOEXEC | O_NONBLOCK | (options.link == SourceLink::Refuse ? O_NOFOLLOW : 0);
  if (options.sourceSteady) *options.sourceSteady = false;
  struct stat st {};
  const bool known = options.opened && options.opened->fd_ >= 0;
  const bool leased = known && options.opened->leased_;
  std::chrono::steady_clock::time_point leasedAt;
  if (known) {
    st.st_mode = S_IFREG | options.opened->mode_;
    st.st_size = static_cast<off_t>(options.opened->size_);
    leasedAt = options.opened->leasedAt_;
  }
  // After the copy's last read, while the lease is still held.
  auto noteSteady = [&] {
    if (options.sourceSteady) *options.sourceSteady = leased && LeaseStillHolds(leasedAt);
  };
  const bool lent = known && options.lendOpened;
  const int opened = options.opened && !lent ? options.opened->Release() : -1;
  Fd owned(lent ? -1 : opened >= 0 ? opened : ::open(nativeSrc.c_str(), flags));
  const int in = lent ? options.opened->fd_ : owned.get();
  if (in < 0) return errno;
  if (!known && ::fstat(in, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;

  const unsigned mode = st.st_mode & options.modeCap & 0666;
  if (options.privateTarget) {
    const FolderHandle* folder = options.privateFolder;
    const bool held = folder && folder->IsOpen();
    const int at = held ? folder->fd_ : AT_FDCWD;
    const char* name = held ? NameOf(nativeDst) : nativeDst.c_str();
    // Open for reading too: the copy may be kept for the next one.
    Fd out;
    if (options.unnamed && options.keepTarget) {
      const std::string folderPath = held ? "." : FolderOf(nativeDst);
      out.reset(::openat(at, folderPath.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, mode));
      if (out.get() < 0 && !NoUnnamedFiles(errno)) return errno;
    }
    const bool unnamed = out.get() >= 0;
    if (options.unnamed) *options.unnamed = unnamed;
    if (!unnamed)
      out.reset(::openat(at, name, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode));
    if (out.get() < 0) return errno;
    uint64_t written = 0;
    int err = CopyData(in, out.get(), static_cast<uint64_t>(st.st_size), options.tap, written);
    if (err == 0) err = InjectedFault("copy-data", src);
    if (err == 0) noteSteady();
    if (err == 0 && options.durability == Durability::Synced && ::fsync(out.get()) != 0)
      err = errno;
    if (err != 0) {
      if (!unnamed) ::unlinkat(at, name, 0);
      return err;
    }
    if (options.keepTarget) options.keepTarget->Hold(out.Release(), written, mode);
    return 0;
  }
  AtomicFile out;
  if (options.journal && options.journal->BeforeSideName)
    out.BeforeSideName = options.journal->BeforeSideName;
  // Never more open than the source, nor than the cap and the umask allow.
  if (int err = out.Create(nativeDst, mode)) return err;
  uint64_t written = 0;
  if (int err = CopyData(in, out.Fd(), static_cast<uint64_t>(st.st_size), options.tap, written))
    return err;
  if (int fault = InjectedFault("copy-data", src)) return fault;
  noteSteady();
  const bool journalled = options.journal && options.journal->BeforeCommit;
  if (journalled || options.made) {
    struct stat made {};
    if (::fstat(out.Fd(), &made) != 0) return errno;
    if (journalled) {
      const int err = options.journal->BeforeCommit(static_cast<uint64_t>(made.st_dev),
                                                    static_cast<uint64_t>(made.st_ino));
      if (err) return err;
    }
    if (options.made) FillStat(made, *options.made);
  }
  return out.Commit(options.durability == Durability::Synced);
}

int DeleteFile(const std::string& path) {
  if (int fault = InjectedFault("delete", path)) return fault;
  return ::unlink(Native(path).c_str()) == 0 ? 0 : errno;
}

int FolderHandle::Open(const std::string& folder) {
  Close();
  fd_ = ::open(Native(folder).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0 ? 0 : errno;
}

void FolderHandle::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int DeleteFileIn(const FolderHandle& folder, const std::string& path) {
  if (!folder.IsOpen()) return DeleteFile(path);
  if (int fault = InjectedFault("delete", path)) return fault;
  const std::string native = Native(path);
  return ::unlinkat(folder.fd_, NameOf(native), 0) == 0 ? 0 : errno;
}

int RenameFile(const std::string& from, const std::string& to) {
  if (int fault = InjectedFault("rename", to)) return fault;
  return ::rename(Native(from).c_str(), Native(to).c_str()) == 0 ? 0 : errno;
}

int CreateFolder(const std::string& path, unsigned mode) {
  if (int fault = InjectedFault("mkdir", path)) return fault;
  return ::mkdir(Native(path).c_str(), mode) == 0 ? 0 : errno;
}

int RemoveFolder(const std::string& path) {
  if (int fault = InjectedFault("rmdir", path)) return fault;
  return ::rmdir(Native(path).c_str()) == 0 ? 0 : errno;
}

int SyncFile(const std::string& path) {
  if (int fault = InjectedFault("sync", path)) return fault;
  const std::string native = Native(path);
  Fd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  if (::fsync(fd.get()) != 0) return errno;
  return SyncFolder(FolderOf(native));
}

int SyncFileSystem(const std::string& folder) {
  if (int fault = InjectedFault("sync", folder)) return fault;
  Fd fd(::open(Native(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  return ::syncfs(fd.get()) == 0 ? 0 : errno;
}

uint64_t FreeSpace(const std::string& folder, int* error) {
  // A fault here stands for a full file system.
  if (InjectedFault("space", folder) != 0) {
    if (error) *error = 0;
    return 0;
  }
  struct statvfs vfs {};
  if (::statvfs(Native(folder).c_str(), &vfs) != 0) {
    if (error) *error = errno;
    return 0;
  }
  if (error) *error = 0;
  return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

int ProbeFolder(const std::string& folder, uint64_t bytes) {
  if (int fault = InjectedFault("probe", folder)) return fault;
  const std::string native = Native(folder);
  // An unnamed file tells what creating one would meet (a missing or
  // read-only folder, no permission) and leaves nothing behind.
  Fd probe(::open(native.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (probe.get() < 0) {
    if (!NoUnnamedFiles(errno)) return errno;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    if (::access(native.c_str(), W_OK | X_OK) != 0) return errno;
  }
  int err = 0;
  const uint64_t free = FreeSpace(folder, &err);
  if (err != 0) return err;
  return free < bytes ? ENOSPC : 0;
}

int AppendToFile(const std::string& path, const std::string& bytes, bool* opened, unsigned mode) {
  if (opened) *opened = false;
  if (int fault = InjectedFault("append", path)) return fault;
  Fd fd(::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, mode));
  if (fd.get() < 0) return errno;
  if (opened) *opened = true;
  ssize_t n = ::write(fd.get(), bytes.data(), bytes.size());
  if (n < 0) return errno;
  return static_cast<size_t>(n) == bytes.size() ? 0 : EIO;
}

namespace {

// A regular file of this user that nobody else may read or write.
bool IsPrivateOpenFile(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
         st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

int ReadAll(int fd, std::string& bytes) {
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    bytes.append(buf, static_cast<size_t>(n));
  }
}

}  // namespace

int AppendHandle::Open(const std::string& path, unsigned mode, bool privateOnly, bool followLink) {
  Close();
  fd_ = ::open(Native(path).c_str(),
               O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW), mode);
  if (fd_ < 0) return errno == ELOOP && privateOnly ? EPERM : errno;
  if (privateOnly && !IsPrivateOpenFile(fd_)) {
    Close();
    return EPERM;
  }
  path_ = path;
  return 0;
}

int AppendHandle::Append(const std::string& path, const std::string& bytes, unsigned mode,
                         bool followLink) {
  if (int fault = InjectedFault("append", path)) return fault;
  if (fd_ < 0 || path != path_) {
    if (int err = Open(path, mode, false, followLink)) return err;
  }
  const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
  if (n < 0) return errno;
  return static_cast<size_t>(n) == bytes.size() ? 0 : EIO;
}

int AppendHandle::AppendPrivate(const std::string& path, const std::string& bytes) {
  if (int fault = InjectedFault("append", path)) return fault;
  if (fd_ < 0 || path != path_) {
    if (int err = Open(path, 0600, true, false)) return err;
  }
  const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
  if (n < 0) return errno;
  return static_cast<size_t>(n) == bytes.size() ? 0 : EIO;
}

int AppendHandle::Sync() {
  if (fd_ < 0) return 0;
  if (int fault = InjectedFault("sync", path_)) return fault;
  return ::fdatasync(fd_) == 0 ? 0 : errno;
}

void AppendHandle::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
}

int ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  Fd fd(::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return errno;
  return ReadAll(fd.get(), bytes);
}

int ReadFileChunks(const std::string& path, const std::function<void(const char*, size_t)>& chunk) {
  Fd fd(::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return errno;
  // Left uninitialised: filling a megabyte for a file of a few bytes costs more than reading it.
  constexpr size_t kChunk = 1 << 20;
  const std::unique_ptr<char[]> buf(new char[kChunk]);
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf.get(), kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    chunk(buf.get(), static_cast<size_t>(n));
  }
}

int FileReader::Open(const std::string& path) {
  Close();
  fd_ = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  return fd_ < 0 ? errno : 0;
}

int FileReader::ReadAt(uint64_t offset, char* data, size_t count, size_t& read) {
  read = 0;
  for (;;) {
    const ssize_t n = ::pread(fd_, data, count, static_cast<off_t>(offset));
    if (n >= 0) {
      read = static_cast<size_t>(n);
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

void FileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int ReadPrivateFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  Fd fd(::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (fd.get() < 0) return errno == ELOOP ? EPERM : errno;
  if (!IsPrivateOpenFile(fd.get())) return EPERM;
  return ReadAll(fd.get(), bytes);
}

int TruncatePrivateFile(const std::string& path) {
  if (int fault = InjectedFault("truncate", path)) return fault;
  Fd fd(::open(Native(path).c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (fd.get() < 0) return errno == ENOENT ? 0 : errno == ELOOP ? EPERM : errno;
  if (!IsPrivateOpenFile(fd.get())) return EPERM;
  return ::ftruncate(fd.get(), 0) == 0 ? 0 : errno;
}

std::string TempPath() {
  std::string path = "/tmp";
  if (const char* env = std::getenv("TMPDIR"); env && *env) {
    struct stat st {};
    if (::stat(env, &st) == 0 && S_ISDIR(st.st_mode)) path = Utf8ToCp1251Lossy(env);
  }
  if (path.back() != '/') path += '/';
  return path;
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return Utf8ToCp1251Lossy(std::string(buf, static_cast<size_t>(n)));
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const size_t nameStart = path.rfind(kPathDelimiter) + 1;  // npos + 1 == 0
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot >= nameStart;
  return path.substr(0, hasExtension ? dot : path.size()) + extension;
}

std::vector<std::string> SearchPathFolders() {
  std::vector<std::string> folders;
  std::string program = ProgramPath();
  if (auto slash = program.rfind('/'); slash != std::string::npos)
    folders.push_back(program.substr(0, slash + 1));
  if (const char* env = std::getenv("PATH")) {
    std::string_view rest = env;
    while (!rest.empty()) {
      auto colon = rest.find(':');
      std::string_view item = rest.substr(0, colon);
      if (!item.empty()) {
        std::string folder = Utf8ToCp1251Lossy(item);
        if (folder.back() != '/') folder += '/';
        folders.push_back(std::move(folder));
      }
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  return folders;
}

std::string ErrorText(int error) {
  char buf[512];
  const char* text = ::strerror_r(error, buf, sizeof buf);
  std::string out = FromLocale(text);
  while (!out.empty()) {
    auto c = static_cast<unsigned char>(out.back());
    if (c <= ' ' || c == '.')
      out.pop_back();
    else
      break;
  }
  return out;
}

}  // namespace platform
