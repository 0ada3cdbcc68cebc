#include "platform/Process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>

#include "platform/Cp1251.h"

extern char** environ;

namespace platform {

int RunAndWait(const std::string& path, const std::string& argument) {
  const std::string nativePath = Cp1251ToUtf8(path);
  const std::string nativeArg = Cp1251ToUtf8(argument);
  char* argv[] = {const_cast<char*>(nativePath.c_str()), const_cast<char*>(nativeArg.c_str()),
                  nullptr};
  pid_t pid = 0;
  // posix_spawn reports a failed exec (missing file, no permission) as its result.
  int err = ::posix_spawn(&pid, nativePath.c_str(), nullptr, nullptr, argv, environ);
  if (err != 0) return err;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return 0;
}

std::string ProcessName(long pid) {
  if (pid <= 0) return {};
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  if (!std::getline(comm, name)) return {};
  return Utf8ToCp1251Lossy(name);
}

}  // namespace platform
