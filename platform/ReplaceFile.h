// Replacing a whole small file in one step, for files that other programs
// read while they change (the metrics file).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes the bytes to a new file of the path's folder (platform/Durable.h's
// AtomicFile), gives it the mode (whatever the umask), and gives it the path's
// name: a reader sees the old or the new contents, never a mix. 0, or the
// errno value of the failure (the old file then stays as it was). Not flushed
// to the disk.
int ReplaceFileContents(const std::string& path, std::string_view bytes, unsigned mode);

}  // namespace platform
