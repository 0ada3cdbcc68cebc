// Whether some process has a file open for writing. A read lease can be taken
// exactly when nobody has the file open for writing; it is taken and dropped
// at once (or kept for a small file's copy), so a writer that opens the file
// meanwhile waits no longer than that (the kernel breaks a lease by telling
// its holder, with SIGIO, which this module sets to be ignored if nobody has
// claimed it).
//
// A lease is refused to a process that neither owns the file nor holds
// CAP_LEASE, and on file systems without leases (network ones): the answer
// is then Unknown, and callers fall back on the file staying the same.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Files.h"

namespace platform {

enum class WriterState { None, Writing, Unknown };

// A file kept open for the copy that takes its bytes next, which then opens
// nothing and asks nothing: a source as OpenToTake opened it (read only, no
// link followed), or a private copy as it was written. Empty when nothing
// was kept; a copy empties it.
class OpenedFile {
 public:
  OpenedFile() = default;
  ~OpenedFile();
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;
  // The descriptor, which the caller then closes; -1 when there is none.
  int Release();

 private:
  friend struct TakeCheck OpenToTake(const std::string& path, uint64_t leaseKeptUpTo);
  friend int CopyFile(const std::string& src, const std::string& dst, const CopyOptions& options);
  // Closes what it held before, and holds a regular file of that size and
  // mode (as opened, or as its copy wrote it).
  void Hold(int fd, uint64_t size, unsigned mode);
  int fd_ = -1;
  uint64_t size_ = 0;
  unsigned mode_ = 0;
};

// Asks about the file at path, opening it for the moment of the question.
WriterState CheckWriters(const std::string& path);

// A listed file opened for its take: its attributes as opened, whether
// somebody writes it, and the file kept for the copy. A file of up to
// leaseKeptUpTo bytes that nobody writes keeps its read lease until the kept
// file is closed, which saves dropping it: a copy that follows at once is
// over in a moment, and a writer opening the file meanwhile waits for that.
struct TakeCheck {
  int error = 0;  // errno of the open or of its attributes; nothing else is told
  FileStat stat;  // of the file opened: not a regular one is neither leased nor kept
  WriterState writers = WriterState::Unknown;
  std::shared_ptr<OpenedFile> opened;
};
TakeCheck OpenToTake(const std::string& path, uint64_t leaseKeptUpTo);

}  // namespace platform
