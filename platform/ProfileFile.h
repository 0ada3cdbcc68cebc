// A profile file read and replaced whole. The profile operations never
// change a file in place: every change writes the whole new contents.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Reads the whole file; 0, or the errno value of the failure (EISDIR for
// anything but a regular file). Never blocks on a pipe in the file's place.
int ReadProfileFile(const std::string& file, std::string& bytes);
// The size of the file at the path; -1 when there is none. A folder is no file,
// while a file we may not read still is one.
int64_t ProfileSizeOnDisk(const std::string& file);
// Replaces the file with the bytes in one step through a side file (the
// file's name followed by "_tmp"); 0, or the errno value of the failure, when
// the file stays as it was. A read-only file is not replaced.
int ReplaceProfileFile(const std::string& file, const std::string& bytes);

}  // namespace platform
