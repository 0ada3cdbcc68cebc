// Whether some process has a file open for writing. A read lease can be taken
// exactly when nobody has the file open for writing; it is taken and dropped
// at once, so a writer that opens the file meanwhile waits no longer than
// that (the kernel breaks a lease by telling its holder, with SIGIO, which
// this module sets to be ignored if nobody has claimed it).
//
// A lease is refused to a process that neither owns the file nor holds
// CAP_LEASE, and on file systems without leases (network ones): the answer
// is then Unknown, and callers fall back on the file staying the same.
#pragma once

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
  friend WriterState CheckWriters(const std::string& path, std::shared_ptr<OpenedFile>* keep);
  friend int CopyFile(const std::string& src, const std::string& dst, const CopyOptions& options);
  void Hold(int fd);  // closes what it held before
  int fd_ = -1;
};

// keep, when given, receives the opened file whatever the answer.
WriterState CheckWriters(const std::string& path, std::shared_ptr<OpenedFile>* keep = nullptr);

}  // namespace platform
