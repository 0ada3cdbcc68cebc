#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "platform/Cp1251.h"
#include "platform/FaultInjection.h"
#include "platform/FileDescriptor.h"

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

std::string FolderOf(const std::string& nativePath) {
  auto slash = nativePath.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return nativePath.substr(0, slash);
}

std::string BaseOf(const std::string& nativePath) {
  auto slash = nativePath.rfind('/');
  return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
}

std::string SideName(const std::string& nativeDst) {
  static std::mt19937_64 rng{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".~%016llx", static_cast<unsigned long long>(rng()));
  return FolderOf(nativeDst) + "/." + BaseOf(nativeDst).substr(0, 200) + suffix;
}

int CopyData(int in, int out) {
  bool kernelCopy = true;
  for (;;) {
    if (kernelCopy) {
      ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
      if (n > 0) continue;
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
      ssize_t n = ::read(in, buf.get(), kBuffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return 0;
      for (ssize_t done = 0; done < n;) {
        ssize_t w = ::write(out, buf.get() + done, static_cast<size_t>(n - done));
        if (w < 0) {
          if (errno == EINTR) continue;
          return errno;
        }
        done += w;
      }
    }
  }
}

int SyncFolder(const std::string& nativeFolder) {
  Fd dir(::open(nativeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return errno;
  return ::fsync(dir.get()) == 0 ? 0 : errno;
}

}  // namespace

int StatPath(const std::string& path, FileStat& out) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return errno;
  out.isFolder = S_ISDIR(st.st_mode);
  out.isRegular = S_ISREG(st.st_mode);
  out.size = static_cast<uint64_t>(st.st_size);
  out.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  out.device = static_cast<uint64_t>(st.st_dev);
  out.inode = static_cast<uint64_t>(st.st_ino);
  return 0;
}

bool IsFolder(const std::string& path) {
  FileStat st;
  return StatPath(path, st) == 0 && st.isFolder;
}

int ListFolder(const std::string& folder, std::vector<DirEntry>& entries) {
  const std::string native = Native(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), ::closedir);
  if (!dir) return errno;
  for (;;) {
    errno = 0;
    dirent* e = ::readdir(dir.get());
    if (!e) return errno;
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    auto name = Utf8ToCp1251(e->d_name);
    if (!name) continue;
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
  if (int fault = InjectedFault("copy", dst)) return fault;
  const std::string nativeSrc = Native(src);
  const std::string nativeDst = Native(dst);
  // Non-blocking, so a pipe put where a file was cannot hold the open until a
  // writer comes; reads of a regular file are not affected.
  const int flags =
      O_RDONLY | O_CLOEXEC | O_NONBLOCK | (link == SourceLink::Refuse ? O_NOFOLLOW : 0);
  Fd in(::open(nativeSrc.c_str(), flags));
  if (in.get() < 0) return errno;
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;

  // An unnamed file in the target folder gets its name only once complete.
  const std::string folder = FolderOf(nativeDst);
  std::string side;
  Fd out(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  const bool unnamed = out.get() >= 0;
  if (!unnamed) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    side = SideName(nativeDst);
    out.reset(::open(side.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (out.get() < 0) return errno;
  }
  auto fail = [&](int err) {
    if (!side.empty()) ::unlink(side.c_str());
    return err;
  };

  if (int err = CopyData(in.get(), out.get())) return fail(err);
  if (int fault = InjectedFault("copy-data", src)) return fail(fault);
  if (durability == Durability::Synced && ::fsync(out.get()) != 0) return fail(errno);

  if (unnamed) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(out.get());
    if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, nativeDst.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      out.reset();
      return durability == Durability::Synced ? SyncFolder(folder) : 0;
    }
    if (errno != EEXIST) return errno;
    // The target exists: give the copy a side name, then swap it in.
    for (int attempt = 0; attempt < 16; ++attempt) {
      side = SideName(nativeDst);
      if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, side.c_str(), AT_SYMLINK_FOLLOW) == 0)
        break;
      if (errno != EEXIST) return errno;
      side.clear();
    }
    if (side.empty()) return EEXIST;
  }
  out.reset();
  if (::rename(side.c_str(), nativeDst.c_str()) != 0) return fail(errno);
  return durability == Durability::Synced ? SyncFolder(folder) : 0;
}

int DeleteFile(const std::string& path) {
  if (int fault = InjectedFault("delete", path)) return fault;
  return ::unlink(Native(path).c_str()) == 0 ? 0 : errno;
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

int AppendToFile(const std::string& path, const std::string& bytes, bool* opened) {
  if (opened) *opened = false;
  if (int fault = InjectedFault("append", path)) return fault;
  Fd fd(::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (fd.get() < 0) return errno;
  if (opened) *opened = true;
  ssize_t n = ::write(fd.get(), bytes.data(), bytes.size());
  if (n < 0) return errno;
  return static_cast<size_t>(n) == bytes.size() ? 0 : EIO;
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
