#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/WorkFolders.h"

TTempFileList::~TTempFileList() {
  Cleanup();
}

std::string TTempFileList::NewWorkPath(int* error) {
  int err = 0;
  if (runFolder_.empty())
    err = platform::CreateRunFolder(TempFolder.empty() ? GetTempDir() : TempFolder, runFolder_);
  const std::string folder = runFolder_ + std::to_string(link_);
  if (err == 0 && link_ >= links_) {
    err = platform::CreateChainFolder(folder);
    if (err == 0) links_ = link_ + 1;
  }
  if (error) *error = err;
  if (err != 0) return {};
  ++link_;
  files_.push_back(folder + platform::kPathDelimiter + CurrentName);
  return files_.back();
}

void TTempFileList::Unused(const std::string& path) {
  if (files_.empty() || files_.back() != path) return;
  files_.pop_back();
  --link_;
}

void TTempFileList::EndFile() {
  // Most are gone already (delivered, or moved on by a step); what is left
  // goes now. Failures are ignored: the run folder's removal tries again.
  for (const std::string& file : files_) platform::DeleteFile(file);
  files_.clear();
  link_ = 0;
}

void TTempFileList::Cleanup() {
  EndFile();
  if (!runFolder_.empty())
    (void)platform::RemoveRunFolder(runFolder_);  // failures ignored, as documented
  runFolder_.clear();
  links_ = 0;
}
