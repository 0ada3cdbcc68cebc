#include "platform/SettingsPlace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Cp1251.h"
#include "platform/Files.h"

namespace platform {
namespace {

std::string FolderOfPath(const std::string& path) {
  const size_t slash = path.rfind(kPathDelimiter);
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// A program under /usr/ is the system's: its folder is no place for an
// operator's file even for root, who could write there.
bool KeepsSettingsBeside(const std::string& besideProgram) {
  if (besideProgram.rfind("/usr/", 0) == 0) return false;
  return ::access(Cp1251ToUtf8(FolderOfPath(besideProgram)).c_str(), W_OK) == 0;
}

// Makes each missing folder of the path; the last one 0700.
void MakeFolders(const std::string& folder) {
  for (size_t end = folder.find('/', 1); end != std::string::npos;
       end = folder.find('/', end + 1)) {
    const bool last = end + 1 == folder.size();
    if (::mkdir(Cp1251ToUtf8(folder.substr(0, end)).c_str(), last ? 0700 : 0755) != 0 &&
        errno != EEXIST)
      return;  // the save that follows reports the folder's fault
  }
}

}  // namespace

std::string UserSettingsFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
    return Utf8ToCp1251Lossy(config) + "/tessel/";
  if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    return Utf8ToCp1251Lossy(home) + "/.config/tessel/";
  return {};
}

std::string SettingsPlace(const std::string& besideProgram) {
  FileStat st;
  if (StatPath(besideProgram, st) == 0 || KeepsSettingsBeside(besideProgram)) return besideProgram;
  const std::string folder = UserSettingsFolder();
  if (folder.empty()) return besideProgram;
  MakeFolders(folder);
  return folder + besideProgram.substr(besideProgram.rfind(kPathDelimiter) + 1);
}

}  // namespace platform
