// Working folders under the shared temp folder, and finding the ones a run
// that has died left behind. Each working folder holds a marker naming the run
// that made it (boot, process id, process start), under a name that has no
// Windows-1251 form, so no file of the pass can ever take it.
#pragma once

#include <string>

namespace platform {

// This process as a run: "boot-id pid start-time".
std::string RunIdentity();
// Whether the run is still alive: same boot, and its process id still
// belongs to a process started at the same time.
bool RunAlive(const std::string& identity);

// Creates the folder with mode 0700 and the marker in it; EEXIST when the
// name is taken (by anybody). A folder whose marker cannot be written is
// removed again and the error returned.
[[nodiscard]] int CreateWorkFolder(const std::string& path);
// Removes the marker, then the folder: ENOTEMPTY when anything else is left.
[[nodiscard]] int RemoveWorkFolder(const std::string& path);

// Removes every working folder ("dir" and digits) directly under the temp
// folder that provably belongs to a run of this program that is gone: owned
// by this user, mode 0700 and holding a marker of a run that is not alive,
// with the files in it (a folder inside keeps it, marker and all); and such a
// folder left empty without its marker (a kill between the two). Folders of
// other users and of live runs are left alone. Returns the number removed.
[[nodiscard]] int RemoveAbandonedWorkFolders(const std::string& tempFolder);

}  // namespace platform
