#include "platform/Journal.h"

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#define SD_JOURNAL_SUPPRESS_LOCATION  // the fields say where; the code's lines do not
#include <systemd/sd-journal.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace platform {

bool IsJournalStream(int fd) {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (!stream || !*stream) return false;
  uintmax_t device = 0, inode = 0;
  if (std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2) return false;
  struct stat out;
  if (::fstat(fd, &out) != 0) return false;
  return out.st_dev == device && out.st_ino == inode;
}

bool StandardOutputIsJournal() {
  return IsJournalStream(STDOUT_FILENO);
}

bool StandardOutputIsDiscarded() {
  struct stat output {
  }, null{};
  return ::fstat(STDOUT_FILENO, &output) == 0 && S_ISCHR(output.st_mode) &&
         ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) && output.st_rdev == null.st_rdev;
}

int SendJournalEntry(const std::vector<std::string>& fields) {
  std::vector<iovec> parts;
  parts.reserve(fields.size());
  for (const std::string& field : fields)
    parts.push_back({const_cast<char*>(field.data()), field.size()});
  const int sent = ::sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
  return sent < 0 ? -sent : 0;
}

}  // namespace platform
