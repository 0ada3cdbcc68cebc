#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/WorkFolders.h"

TTempFileList::~TTempFileList() {
  Cleanup();
}

std::string TTempFileList::NewWorkPath(int* error, const platform::FolderHandle** folderHeld) {
  int err = 0;
  if (runFolder_.empty())
    err = platform::CreateRunFolder(TempFolder.empty() ? GetTempDir() : TempFolder, runFolder_);
  const std::string folder = runFolder_ + std::to_string(link_);
  if (err == 0 && link_ >= links_) {
    err = platform::CreateChainFolder(folder);
    if (err == 0) {
      links_ = link_ + 1;
      // Held open, its files are made and deleted without walking the path:
      // one that cannot be opened is used by its path.
      folders_.resize(static_cast<size_t>(links_));
      folders_.back() = std::make_unique<platform::FolderHandle>();
      (void)folders_.back()->Open(folder);
    }
  }
  if (error) *error = err;
  if (err != 0) return {};
  if (folderHeld) *folderHeld = folders_[static_cast<size_t>(link_)].get();
  ++link_;
  files_.push_back(folder + platform::kPathDelimiter + CurrentName);
  return files_.back();
}

void TTempFileList::Unused(const std::string& path) {
  if (files_.empty() || files_.back() != path) return;
  files_.pop_back();
  --link_;
}

void TTempFileList::NotNamed(const std::string& path) {
  if (!files_.empty() && files_.back() == path) files_.back().clear();
}

void TTempFileList::EndFile() {
  // Most are gone already (delivered, or moved on by a step); what is left
  // goes now. Failures are ignored: the run folder's removal tries again.
  for (size_t link = 0; link < files_.size(); ++link)
    if (!files_[link].empty()) platform::DeleteFileIn(*folders_[link], files_[link]);
  files_.clear();
  link_ = 0;
}

void TTempFileList::Cleanup() {
  EndFile();
  folders_.clear();
  if (!runFolder_.empty())
    (void)platform::RemoveRunFolder(runFolder_);  // failures ignored, as documented
  runFolder_.clear();
  links_ = 0;
}
