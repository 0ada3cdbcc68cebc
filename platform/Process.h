// Starting another program and waiting for it.
#pragma once

#include <string>

namespace platform {

// Starts the program at path with one argument, inheriting nothing but the
// standard streams, the environment and the current folder, and waits without
// a time limit for it to end. 0 when it started (whatever its exit status),
// otherwise the errno value of the failed start.
int RunAndWait(const std::string& path, const std::string& argument);

}  // namespace platform
