#include "engine/uFileUtil.h"

#include <cerrno>

#include "masks/FileMask.h"
#include "platform/Durable.h"
#include "platform/Files.h"
#include "platform/WorkFolders.h"

std::string IncludeTrailingDelimiter(const std::string& folder) {
  if (!folder.empty() && folder.back() == platform::kPathDelimiter) return folder;
  return folder + platform::kPathDelimiter;
}

std::string ExtractFileName(const std::string& path) {
  return std::string(FileNameOf(path));
}

std::string_view FileNameOf(std::string_view path) {
  const auto slash = path.rfind(platform::kPathDelimiter);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ExtractFileFolder(const std::string& path) {
  const auto slash = path.rfind(platform::kPathDelimiter);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void SplitSourceMask(const std::string& sourceMask, std::string& folder, std::string& maskText) {
  const auto cut = sourceMask.rfind(platform::kPathDelimiter);
  folder = cut == std::string::npos ? "" : sourceMask.substr(0, cut + 1);
  maskText = cut == std::string::npos ? sourceMask : sourceMask.substr(cut + 1);
}

bool FolderExists(const std::string& path) {
  return platform::IsFolder(path);
}

std::string GetTempDir() {
  return platform::TempPath();
}

bool FindFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list,
               std::vector<std::string>* unnamed) {
  const std::string dir = IncludeTrailingDelimiter(folder);
  if (!FolderExists(dir)) return false;
  const TFileMask fileMask(mask);
  std::vector<platform::DirEntry> entries;
  // A folder that cannot be read after the check above lists what was read
  // of it: the files not listed wait for a later pass.
  (void)platform::ListFolder(dir, entries, unnamed);
  for (const platform::DirEntry& entry : entries) {
    // Only plain files are taken: never a folder, a link, a device or a pipe.
    if (entry.kind != platform::EntryKind::Regular) continue;
    // A copy under way or cut short by a crash is nobody's file yet.
    if (platform::IsSideName(entry.name)) continue;
    if (fileMask.Matches(entry.name, dir)) list.push_back(dir + entry.name);
  }
  return true;
}

std::string NewTempFolder(int* error, unsigned long* number) {
  const std::string temp = GetTempDir();
  // A number is ours only when we created its folder: a name that exists,
  // whoever made it, moves on to the next number.
  for (unsigned long n = number ? *number : 0;; ++n) {
    const std::string candidate = temp + "dir" + std::to_string(n);
    const int err = platform::CreateWorkFolder(candidate);
    if (err == EEXIST) continue;
    if (error) *error = err;
    if (err != 0) return {};
    if (number) *number = n + 1;
    return candidate + platform::kPathDelimiter;
  }
}

std::string FindOnSearchPath(const std::string& name) {
  for (const std::string& folder : platform::SearchPathFolders()) {
    platform::FileStat stat;
    if (platform::StatPath(folder + name, stat) == 0 && stat.isRegular) return folder + name;
  }
  return name;
}
