// marvik's commands. Each writes its results to out and its complaints to
// err, and returns the process exit status.
#pragma once

#include <sys/types.h>

#include <ostream>
#include <string>

namespace marvik {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// id, folders: as typed (the terminal's UTF-8).
int CreateKeyPair(const std::string& id, const std::string& secretFolder,
                  const std::string& publicFolder, std::ostream& out, std::ostream& err);
// Makes the folder when it is missing (one level, like mkdir).
bool EnsureFolder(const std::string& folder, mode_t mode, std::ostream& err);
int ListKeys(const std::string& folder, std::ostream& out, std::ostream& err);
int SelfTest(std::ostream& out, std::ostream& err);

}  // namespace marvik
