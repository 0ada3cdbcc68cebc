#include "platform/Process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

int RunAndRead(const std::string& path, const std::vector<std::string>& arguments,
               std::string& output, int& status) {
  std::vector<std::string> native{Cp1251ToUtf8(path)};
  for (const std::string& argument : arguments) native.push_back(Cp1251ToUtf8(argument));
  std::vector<char*> argv;
  for (std::string& argument : native) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return errno;
  posix_spawn_file_actions_t actions;
  int err = ::posix_spawn_file_actions_init(&actions);
  if (err == 0) err = ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (err == 0) err = ::posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
  if (err == 0) err = ::posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
  pid_t pid = 0;
  if (err == 0) err = ::posix_spawn(&pid, native[0].c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (err == 0) {
    // Read to the end before waiting: a child filling the pipe would wait for us.
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) != 0;) {
      if (n > 0)
        output.append(buffer, static_cast<size_t>(n));
      else if (errno != EINTR)
        break;
    }
  }
  ::close(pipe[0]);
  if (err != 0) return err;
  int raw = 0;
  while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return 0;
}

int StartShellCommand(const std::string& command,
                      const std::vector<std::pair<std::string, std::string>>& variables,
                      long& pid) {
  // The environment: the program's, each given variable replacing one of
  // the same name.
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    const std::string name(*entry, equals ? static_cast<size_t>(equals - *entry) : std::strlen(*entry));
    bool replaced = false;
    for (const auto& variable : variables) replaced = replaced || variable.first == name;
    if (!replaced) environment.emplace_back(*entry);
  }
  for (const auto& [name, value] : variables)
    environment.push_back(Cp1251ToUtf8(name) + "=" + Cp1251ToUtf8(value));
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const std::string nativeCommand = Cp1251ToUtf8(command);
  char shell[] = "/bin/sh";
  char dashC[] = "-c";
  char* argv[] = {shell, dashC, const_cast<char*>(nativeCommand.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  if (int err = ::posix_spawn_file_actions_init(&actions)) return err;
  int err = ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // The command gets the signals as a shell would: none held back (a spawn
  // inside DeferredSignals) and none ignored (this program ignores SIGPIPE).
  posix_spawnattr_t attributes;
  const bool haveAttributes = err == 0 && (err = ::posix_spawnattr_init(&attributes)) == 0;
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP}) sigaddset(&defaults, signal);
  if (err == 0) err = ::posix_spawnattr_setsigmask(&attributes, &none);
  if (err == 0) err = ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  if (err == 0) err = ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  if (err == 0) err = ::posix_spawn(&child, shell, &actions, &attributes, argv, envp.data());
  if (haveAttributes) ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  if (err != 0) return err;
  pid = child;
  return 0;
}

bool ChildEnded(long pid, int& status) {
  int raw = 0;
  pid_t ended = 0;
  while ((ended = ::waitpid(static_cast<pid_t>(pid), &raw, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (ended == 0) return false;
  if (ended < 0) {
    status = -1;  // not our child (any more): nothing is left to wait for
    return true;
  }
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return true;
}

std::string ProcessName(long pid) {
  if (pid <= 0) return {};
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  if (!std::getline(comm, name)) return {};
  return Utf8ToCp1251Lossy(name);
}

}  // namespace platform
