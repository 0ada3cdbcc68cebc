// Other processes: starting a program and waiting for it, and the name of a
// running one.
#pragma once

#include <string>

namespace platform {

// Starts the program at path with one argument, inheriting nothing but the
// standard streams, the environment and the current folder, and waits without
// a time limit for it to end. 0 when it started (whatever its exit status),
// otherwise the errno value of the failed start.
int RunAndWait(const std::string& path, const std::string& argument);

// The short name of a running process (as ps shows it), Windows-1251; empty
// when there is no such process or it cannot be told.
std::string ProcessName(long pid);

}  // namespace platform
