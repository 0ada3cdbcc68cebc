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

#include <chrono>
#include <cstddef>
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
  bool IsOpen() const { return fd_ >= 0; }
  // Drops a read lease the descriptor still holds; the file stays open.
  void DropLease();
  void Close();

 private:
  friend struct TakeCheck OpenToTake(const std::string& path, uint64_t leaseKeptUpTo);
  friend WriterState CheckWriters(const std::string& path, OpenedFile* kept);
  friend int CopyFile(const std::string& src, const std::string& dst, const CopyOptions& options);
  // Closes what it held before, and holds a regular file of that size and
  // mode (as opened, or as its copy wrote it).
  void Hold(int fd, uint64_t size, unsigned mode);
  int fd_ = -1;
  uint64_t size_ = 0;
  unsigned mode_ = 0;
  // The descriptor holds a read lease, taken then.
  bool leased_ = false;
  std::chrono::steady_clock::time_point leasedAt_;
};

// Whether a read lease taken at that moment, and held since, still keeps
// every writer out. A writer's open waits for the lease only up to the
// kernel's lease-break time and then goes on: a lease is trusted for half
// of that time, and not at all where the time cannot be read.
bool LeaseStillHolds(std::chrono::steady_clock::time_point leasedAt);

// Asks about the file at path, opening it for the moment of the question.
WriterState CheckWriters(const std::string& path);
// Asks the same of a file kept open since its take, which the caller knows
// the path still names (an empty one: opened as above). A lease got stays
// with it until it is closed: nobody opens the file for writing meanwhile.
WriterState CheckWriters(const std::string& path, OpenedFile* kept);

// How many opened files a caller may keep at once: half of what the process
// may have open, the rest left to everything else it opens.
size_t OpenedFilesToKeep();

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
