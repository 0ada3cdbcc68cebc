// Working folders under the shared temp folder, and finding the ones a run
// that has died left behind.
//
// A pass keeps its working files in one private folder of its run, named
// after the run (boot, process id, process start) and a number: mkdir makes
// it and its name in one step, so no folder exists that does not say whose it
// is. In it each link of a file's chain has a folder of its own ("0", "1",
// ...), since every working file carries the source file's name.
//
// Older working folders ("dir" and digits, still made for the script check's
// probe) hold a marker naming their run instead, under a name that has no
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

// Makes a run folder of this run with mode 0700 under the temp folder (its
// path, ending in the delimiter, in *path); a name that exists, whoever made
// it, moves on to the next number.
[[nodiscard]] int CreateRunFolder(const std::string& tempFolder, std::string& path);
// A folder of the chain in a run folder, mode 0700.
[[nodiscard]] int CreateChainFolder(const std::string& path);
// Removes a run folder with its chain folders and the files in them; a
// folder deeper down keeps it (ENOTEMPTY).
[[nodiscard]] int RemoveRunFolder(const std::string& path);

// Removes every working folder directly under the temp folder that provably
// belongs to a run of this program that is gone, with the files in it: owned
// by this user, mode 0700, and a run folder named after a run that is not
// alive, or a "dir" folder holding the marker of one (a folder inside a
// "dir" folder keeps it, marker and all). A folder that cannot prove whose
// it is (a "dir" folder without a marker, even empty and private, may be
// another process's of a moment ago), other users' folders and those of live
// runs are left alone. Returns the number removed.
[[nodiscard]] int RemoveAbandonedWorkFolders(const std::string& tempFolder);

}  // namespace platform
