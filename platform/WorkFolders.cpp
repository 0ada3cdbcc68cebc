#include "platform/WorkFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/Cp1251.h"
#include "platform/Durable.h"
#include "platform/FaultInjection.h"
#include "platform/FileDescriptor.h"

namespace platform {
namespace {

// The marker is an empty file whose name holds the run: one call makes it.
// U+2713 has no Windows-1251 form, so folder listings of the pass never show it.
constexpr std::string_view kMarkerPrefix = ".tessel\xE2\x9C\x93";

std::string MarkerName(const std::string& identity) {
  thread_local std::string last, name;
  if (identity != last || name.empty()) {
    name = kMarkerPrefix;
    for (char c : identity) name += c == ' ' ? '_' : c;
    last = identity;
  }
  return name;
}

bool IsMarker(const char* name, std::string* identity) {
  const std::string_view text(name);
  if (!text.starts_with(kMarkerPrefix)) return false;
  if (identity) {
    identity->clear();
    for (char c : text.substr(kMarkerPrefix.size())) *identity += c == '_' ? ' ' : c;
  }
  return true;
}

std::string ReadSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string BootId() {
  static const std::string id = [] {
    std::string text = ReadSmallFile("/proc/sys/kernel/random/boot_id");
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text.empty() ? std::string("-") : text;
  }();
  return id;
}

// The start time of a process in clock ticks since boot; empty when gone.
std::string StartTime(long pid) {
  const std::string stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(')');  // the command name may hold anything
  if (close == std::string::npos) return {};
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  // After the name: state is field 3, start time field 22.
  for (int i = 3; i <= 22; ++i)
    if (!(fields >> field)) return {};
  return field;
}

constexpr std::string_view kRunFolderPrefix = "tessel-run_";

// "tessel-run_" boot "_" pid "_" start "_" number.
std::string RunFolderName(const std::string& identity, unsigned long number) {
  std::string name(kRunFolderPrefix);
  for (char c : identity) name += c == ' ' ? '_' : c;
  return name + "_" + std::to_string(number);
}

// The identity a run folder's name gives; false for any other name.
bool RunOfFolder(const char* name, std::string& identity) {
  const std::string_view text(name);
  if (!text.starts_with(kRunFolderPrefix)) return false;
  std::string_view rest = text.substr(kRunFolderPrefix.size());
  const size_t last = rest.rfind('_');
  if (last == std::string_view::npos) return false;
  identity.clear();
  for (char c : rest.substr(0, last)) identity += c == '_' ? ' ' : c;
  return true;
}

// Unlinks the files in a folder (links are removed, not followed); false when
// a folder was met, which is not ours to judge.
bool EmptyOfFiles(int folderFd, const std::string& keep = {}) {
  const int listFd = ::dup(folderFd);
  if (listFd < 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listFd), ::closedir);
  if (!dir) {
    ::close(listFd);
    return false;
  }
  ::rewinddir(dir.get());  // a duplicate shares the offset of a listing before it
  bool emptied = true;
  while (dirent* e = ::readdir(dir.get())) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0 || keep == e->d_name)
      continue;
    if (::unlinkat(folderFd, e->d_name, 0) != 0) emptied = false;
  }
  return emptied;
}

// Removes a run folder through descriptors: the files of each chain folder,
// the chain folders, then the folder.
int RemoveRunFolderAt(int parentFd, const char* name) {
  Fd folder(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (folder.get() < 0) return errno;
  const int listFd = ::dup(folder.get());
  if (listFd < 0) return errno;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listFd), ::closedir);
  if (!dir) {
    ::close(listFd);
    return errno;
  }
  while (dirent* e = ::readdir(dir.get())) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    Fd chain(::openat(folder.get(), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (chain.get() < 0) {
      ::unlinkat(folder.get(), e->d_name, 0);  // a file (or link) among the chain folders
      continue;
    }
    if (EmptyOfFiles(chain.get())) ::unlinkat(folder.get(), e->d_name, AT_REMOVEDIR);
  }
  return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

bool IsWorkFolderName(const char* name) {
  if (std::strncmp(name, "dir", 3) != 0 || name[3] == 0) return false;
  for (const char* p = name + 3; *p; ++p)
    if (*p < '0' || *p > '9') return false;
  return true;
}

// Removes one abandoned folder through descriptors, never following a link.
bool RemoveIfAbandoned(int tempFd, const char* name) {
  Fd folder(::openat(tempFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (folder.get() < 0) return false;
  struct stat st {};
  if (::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 07777) != 0700)
    return false;
  const int listFd = ::dup(folder.get());
  if (listFd < 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listFd), ::closedir);
  if (!dir) {
    ::close(listFd);
    return false;
  }
  std::string marker, identity;
  while (dirent* e = ::readdir(dir.get()))
    if (IsMarker(e->d_name, &identity)) marker = e->d_name;
  // Without a marker nothing tells whose it is: made a moment ago by a run
  // that is about to write its marker, say. It stays.
  if (marker.empty() || RunAlive(identity)) return false;
  // Only files (and links, which are removed, not followed); a folder
  // inside is not ours to judge, and keeps the whole folder with its marker.
  if (!EmptyOfFiles(folder.get(), marker)) return false;
  ::unlinkat(folder.get(), marker.c_str(), 0);
  return ::unlinkat(tempFd, name, AT_REMOVEDIR) == 0;
}

}  // namespace

std::string RunIdentity() {
  // Made anew in a forked child, which is a run of its own.
  thread_local pid_t cachedFor = 0;
  thread_local std::string identity;
  const pid_t pid = ::getpid();
  if (cachedFor != pid) {
    identity = BootId() + " " + std::to_string(pid) + " " + StartTime(pid);
    cachedFor = pid;
  }
  return identity;
}

bool RunAlive(const std::string& identity) {
  std::istringstream fields(identity);
  std::string boot, start;
  long pid = 0;
  if (!(fields >> boot >> pid >> start) || pid <= 0) return false;
  if (boot != BootId()) return false;  // every run of an earlier boot is gone
  return StartTime(pid) == start;
}

int CreateWorkFolder(const std::string& path) {
  if (int fault = InjectedFault("mkdir", path)) return fault;
  const std::string native = Cp1251ToUtf8(path);
  if (::mkdir(native.c_str(), 0700) != 0) return errno;
  const std::string marker = native + "/" + MarkerName(RunIdentity());
  int err = InjectedFault("marker", path);
  if (err == 0 && ::mknod(marker.c_str(), S_IFREG | 0600, 0) != 0) err = errno;
  if (err != 0) {
    ::unlink(marker.c_str());
    ::rmdir(native.c_str());
  }
  return err;
}

int RemoveWorkFolder(const std::string& path) {
  if (int fault = InjectedFault("rmdir", path)) return fault;
  std::string native = Cp1251ToUtf8(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  ::unlink((native + "/" + MarkerName(RunIdentity())).c_str());
  return ::rmdir(native.c_str()) == 0 ? 0 : errno;
}

int CreateRunFolder(const std::string& tempFolder, std::string& path) {
  // Numbers tell apart the passes of one run that work at the same time.
  static std::atomic<unsigned long> next{0};
  for (;;) {
    const std::string candidate = tempFolder + RunFolderName(RunIdentity(), next++);
    if (int fault = InjectedFault("mkdir", candidate)) return fault;
    if (::mkdir(Cp1251ToUtf8(candidate).c_str(), 0700) == 0) {
      path = candidate + "/";
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
}

int CreateChainFolder(const std::string& path) {
  if (int fault = InjectedFault("mkdir", path)) return fault;
  return ::mkdir(Cp1251ToUtf8(path).c_str(), 0700) == 0 ? 0 : errno;
}

int RemoveRunFolder(const std::string& path) {
  if (int fault = InjectedFault("rmdir", path)) return fault;
  std::string native = Cp1251ToUtf8(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return RemoveRunFolderAt(AT_FDCWD, native.c_str());
}

int RemoveAbandonedWorkFolders(const std::string& tempFolder) {
  Fd temp(::open(Cp1251ToUtf8(tempFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (temp.get() < 0) return 0;
  const int listFd = ::dup(temp.get());
  if (listFd < 0) return 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listFd), ::closedir);
  if (!dir) {
    ::close(listFd);
    return 0;
  }
  int removed = 0;
  std::string identity;
  while (dirent* e = ::readdir(dir.get())) {
    if (IsWorkFolderName(e->d_name)) {
      if (RemoveIfAbandoned(temp.get(), e->d_name)) ++removed;
    } else if (RunOfFolder(e->d_name, identity) && !RunAlive(identity)) {
      struct stat st {};
      if (::fstatat(temp.get(), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
          st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700 &&
          RemoveRunFolderAt(temp.get(), e->d_name) == 0)
        ++removed;
    }
  }
  return removed;
}

}  // namespace platform
