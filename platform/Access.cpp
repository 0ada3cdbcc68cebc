#include "platform/Access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Cp1251.h"

namespace platform {

namespace {

int Ask(const std::string& path, int mode) {
  const std::string native = Cp1251ToUtf8(path);
  return ::faccessat(AT_FDCWD, native.c_str(), mode, AT_EACCESS) == 0 ? 0 : errno;
}

}  // namespace

int MayListFolder(const std::string& folder) {
  return Ask(folder, R_OK | X_OK);
}

int MayChangeFolder(const std::string& folder) {
  return Ask(folder, W_OK | X_OK);
}

int MayReadFile(const std::string& path) {
  return Ask(path, R_OK);
}

int MayAppendToFile(const std::string& path) {
  struct stat st {};
  if (::stat(Cp1251ToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return EISDIR;
  const int err = Ask(path, W_OK);
  if (err != ENOENT) return err;
  // A missing file is created in its folder.
  const size_t slash = path.rfind('/');
  return MayChangeFolder(slash == std::string::npos ? "." : path.substr(0, slash + 1));
}

}  // namespace platform
