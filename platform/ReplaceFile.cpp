#include "platform/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Cp1251.h"

namespace platform {

int ReplaceFileContents(const std::string& path, std::string_view bytes, unsigned mode) {
  const std::string native = Cp1251ToUtf8(path);
  // A name of this process's own; a left-over of an earlier process with the
  // same id is removed, never written through.
  const std::string side = native + ".tmp" + std::to_string(::getpid());
  int fd = -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST || ::unlink(side.c_str()) != 0) break;
  }
  if (fd < 0) return errno;
  int err = ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
  for (size_t done = 0; err == 0 && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      err = errno;
    else
      done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(side.c_str(), native.c_str()) != 0) err = errno;
  if (err != 0) ::unlink(side.c_str());
  return err;
}

}  // namespace platform
