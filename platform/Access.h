// What this process may do with a path, asked of the kernel with the
// effective user and groups, without opening or changing anything. Each
// gives 0 or the errno value that the operation would fail with.
#pragma once

#include <string>

namespace platform {

// List the folder and open the files in it.
int MayListFolder(const std::string& folder);
// Create and remove entries in the folder.
int MayChangeFolder(const std::string& folder);
// Open the file for reading.
int MayReadFile(const std::string& path);
// Append to the file, or create it when it is missing; a folder is no file.
int MayAppendToFile(const std::string& path);

}  // namespace platform
