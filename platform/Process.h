// Other processes: starting a program and waiting for it, and the name of a
// running one.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform {

// Starts the program at path with one argument, inheriting nothing but the
// standard streams, the environment and the current folder, and waits without
// a time limit for it to end. 0 when it started (whatever its exit status),
// otherwise the errno value of the failed start.
int RunAndWait(const std::string& path, const std::string& argument);

// Runs the program at path with the arguments (Windows-1251, given to it as
// UTF-8), its standard input from /dev/null, and waits for it to end,
// collecting what it writes to its standard output and error, as written,
// in output. 0 and its exit status (128 + the signal that ended it) in
// status, or the errno value of the failed start.
int RunAndRead(const std::string& path, const std::vector<std::string>& arguments,
               std::string& output, int& status);

// Starts "/bin/sh -c command" without waiting for it: its standard input
// from /dev/null, its output and errors where the program's go, the
// program's environment with the given variables set over it. Text is
// Windows-1251 and reaches the command as UTF-8. 0 and the child's id in
// pid, or the errno value of the failed start.
int StartShellCommand(const std::string& command,
                      const std::vector<std::pair<std::string, std::string>>& variables,
                      long& pid);

// Whether a child started above has ended, without waiting; when it has,
// status is its exit status or 128 + the signal that ended it, and the
// child is gone (its id is not asked about again).
bool ChildEnded(long pid, int& status);

// The short name of a running process (as ps shows it), Windows-1251; empty
// when there is no such process or it cannot be told.
std::string ProcessName(long pid);

}  // namespace platform
