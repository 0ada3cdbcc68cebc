#include "runtime/SettingsWatch.h"

#include <cerrno>
#include <functional>
#include <string_view>

#include "platform/Files.h"

TSettingsWatch::TStamp TSettingsWatch::StampOf(const std::string& settingsFile) {
  TStamp stamp;
  std::string bytes;
  const int error = platform::ReadWholeFile(settingsFile, bytes);
  if (error == ENOENT) return stamp;
  stamp.Exists = true;
  stamp.Readable = error == 0;
  stamp.Size = bytes.size();
  // Compared within this process only: the standard hash is enough.
  stamp.Digest = std::hash<std::string_view>{}(bytes);
  return stamp;
}

void TSettingsWatch::Note(const std::string& settingsFile) {
  stamp_ = StampOf(settingsFile);
  noted_ = true;
}

bool TSettingsWatch::ChangedOnDisk(const std::string& settingsFile) const {
  if (!noted_) return false;
  const TStamp now = StampOf(settingsFile);
  return !now.Readable || !(now == stamp_);
}
