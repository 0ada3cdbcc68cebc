// The Windows profile-string functions on profile (INI) files, on bytes. The
// text rules are those of ProfileImage; every change replaces the file whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ProfileImage.h"

namespace platform {

// The four profile operations. Buffers follow the Windows contract: results
// are cut to fit and always end in zero bytes inside the buffer; the counts
// returned exclude the final zero byte(s).

// The value of the key, or the default when the file, the section or the key
// is missing. At most size - 1 characters are copied.
size_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& defaultValue, char* buffer, size_t size,
                                const std::string& file);
// Stores the value (creating file, section and key as needed) or, with a null
// value, removes the key. False when the write was refused (errno EINVAL) or
// failed (errno says why).
[[nodiscard]] bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                              const std::string* value, const std::string& file);
// Section names, each followed by a zero byte, then one more zero byte.
size_t GetPrivateProfileSectionNamesA(char* buffer, size_t size, const std::string& file);
// The section's lines in the same layout.
size_t GetPrivateProfileSectionA(const std::string& section, char* buffer, size_t size,
                                 const std::string& file);

// The size of the file as the profile operations see it (inside a batch, the
// batch's contents); -1 when there is no file.
int64_t ProfileFileSize(const std::string& file);
// Size of a regular file that can be opened for reading; 0 otherwise.
int64_t ReadableFileSize(const std::string& path);

// Keeps one file in memory while it lives, so that a run of profile calls on
// that file costs one read or one write of it. Batches nest: the innermost
// batch of a file answers for it.
//
// Snapshot: the file is read once; reads of it are answered from that copy,
// so they all see one consistent state. Writes still go to the disk at once.
// Rewrite: the contents start empty and every read and write of the file
// works on memory; Commit replaces the file with the result in one step. If
// any write of the batch failed, or Commit is never called, the file on disk
// stays as it was.
class ProfileBatch {
 public:
  enum class Mode { Snapshot, Rewrite };
  ProfileBatch(const std::string& file, Mode mode);
  ~ProfileBatch();
  ProfileBatch(const ProfileBatch&) = delete;
  ProfileBatch& operator=(const ProfileBatch&) = delete;

  bool Active() const { return active_; }
  // Ends the batch. Rewrite: 0 when the file now holds the batch's contents,
  // otherwise the errno value of the first failure.
  [[nodiscard]] int Commit();

 private:
  friend struct ProfileAccess;
  std::string file_;
  Mode mode_;
  bool active_ = false;
  ProfileBatch* outer_ = nullptr;
  bool exists_ = false;
  int failure_ = 0;
  ProfileImage image_;
};

// Counts of whole-file writes since the program started, for measurements.
struct ProfileWriteStats {
  uint64_t files = 0;
  uint64_t bytes = 0;
};
ProfileWriteStats GetProfileWriteStats();

}  // namespace platform
