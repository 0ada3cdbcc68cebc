#include "platform/ReplaceFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Cp1251.h"
#include "platform/Durable.h"

namespace platform {

int ReplaceFileContents(const std::string& path, std::string_view bytes, unsigned mode) {
  const std::string native = Cp1251ToUtf8(path);
  // Earlier versions wrote through "<path>.tmp<pid>" and removed a left-over
  // of their own id before writing; such a file is still removed, not kept.
  ::unlink((native + ".tmp" + std::to_string(::getpid())).c_str());
  AtomicFile file;
  if (int err = file.Create(native, 0600)) return err;
  // The mode as given, whatever the umask.
  if (::fchmod(file.Fd(), static_cast<mode_t>(mode)) != 0) return errno;
  if (int err = WriteAll(file.Fd(), bytes.data(), bytes.size())) return err;
  return file.Commit(/*synced=*/false);
}

}  // namespace platform
