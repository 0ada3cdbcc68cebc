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

// The file as the check opened it (read only, no link followed), kept for the
// copy that takes it next, which then opens nothing. Empty when the check
// opened nothing; a copy empties it.
class CheckedFile {
 public:
  CheckedFile() = default;
  ~CheckedFile();
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;
  // The descriptor, which the caller then closes; -1 when there is none.
  int Release();

 private:
  friend WriterState CheckWriters(const std::string& path, std::shared_ptr<CheckedFile>* keep);
  int fd_ = -1;
};

// keep, when given, receives the opened file whatever the answer.
WriterState CheckWriters(const std::string& path, std::shared_ptr<CheckedFile>* keep = nullptr);

}  // namespace platform
