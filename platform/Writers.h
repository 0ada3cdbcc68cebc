// Whether some process has a file open for writing. A read lease can be taken
// exactly when nobody has the file open for writing; it is taken and dropped
// at once (or with a small file's copy), so a writer that opens the file
// meanwhile waits no longer than that (the kernel breaks a lease by telling its holder, with SIGIO, which
// this module sets to be ignored if nobody has claimed it).
//
// A lease is refused to a process that neither owns the file nor holds
// CAP_LEASE, and on file systems without leases (network ones): the answer
// is then Unknown, and callers fall back on the file staying the same.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class WriterState { None, Writing, Unknown };

struct CopyOptions;  // platform/Files.h

// A file kept open for the copy that takes its bytes next, which then opens
// nothing: a source as the writers' check opened it (read only, no link
// followed), or a private copy as it was written. Empty when nothing was
// kept; a copy empties it.
class OpenedFile {
 public:
  OpenedFile() = default;
  ~OpenedFile();
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;
  // The descriptor, which the caller then closes; -1 when there is none.
  int Release();

 private:
  friend WriterState CheckWriters(const std::string& path, std::shared_ptr<OpenedFile>* keep,
                                  bool leaseWhileKept);
  friend int CopyFile(const std::string& src, const std::string& dst, const CopyOptions& options);
  // Closes what it held before. A private copy is held with what its copy
  // wrote (a regular file of that size, made with that mode), so the next
  // copy of it need not ask.
  void Hold(int fd);
  void Hold(int fd, uint64_t size, unsigned mode);
  int fd_ = -1;
  bool known_ = false;
  uint64_t size_ = 0;
  unsigned mode_ = 0;
};

// keep, when given, receives the opened file whatever the answer. With
// leaseWhileKept, a file nobody writes keeps its read lease until the kept
// descriptor is closed, which saves dropping it: only for a copy that follows
// at once and takes a moment, since a writer opening the file meanwhile
// waits for the close.
WriterState CheckWriters(const std::string& path, std::shared_ptr<OpenedFile>* keep = nullptr,
                         bool leaseWhileKept = false);

}  // namespace platform
