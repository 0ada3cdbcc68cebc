// Whether some process has a file open for writing. A read lease can be taken
// exactly when nobody has the file open for writing; it is taken and dropped
// at once, so a writer that opens the file meanwhile waits no longer than
// that (the kernel breaks a lease by telling its holder, with SIGIO, which
// this module sets to be ignored if nobody has claimed it).
//
// A lease is refused to a process that neither owns the file nor holds
// CAP_LEASE, and on file systems without leases (network ones): the answer
// is then Unknown, and callers fall back on the file staying the same.
#pragma once

#include <string>

namespace platform {

enum class WriterState { None, Writing, Unknown };

WriterState CheckWriters(const std::string& path);

}  // namespace platform
