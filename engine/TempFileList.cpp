#include <algorithm>

#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/WorkFolders.h"

TTempFileList::~TTempFileList() {
  Cleanup();
}

std::string TTempFileList::NewWorkPath(int* error) {
  const std::string folder = NewTempFolder(error, &nextNumber_);
  if (folder.empty()) return {};  // no folder could be claimed
  const std::string path = IncludeTrailingDelimiter(folder) + CurrentName;
  Entries.push_back({path, false});
  Entries.push_back({folder, true});
  return path;
}

void TTempFileList::Cleanup() {
  for (const Entry& entry : Entries) {
    if (entry.isFolder)
      (void)platform::RemoveWorkFolder(entry.path);  // failures are ignored, as documented
    else
      platform::DeleteFile(entry.path);
  }
  Entries.clear();
  nextNumber_ = 0;
}
