// Writing files so that a crash never shows half of one: complete writes,
// flushes of files and folders, side names, and a new file that takes its
// name only once it is whole. The pass, the settings file and the crypto
// library all write through here. Paths here are native (UTF-8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Writes every byte, retrying short writes and interruptions; 0 or errno.
[[nodiscard]] int WriteAll(int fd, const void* data, size_t size);
// Flushes a folder's entries (new names, renames, removals) to the disk.
[[nodiscard]] int SyncFolder(const std::string& nativeFolder);
// The folder part of a native path ("." for a bare name).
std::string FolderOf(const std::string& nativePath);
// Whether an unnamed (O_TMPFILE) open failed with that error only because the
// file system has no unnamed files: a named file is made instead.
bool NoUnnamedFiles(int error);

// The one form of side name: "." + the target's name + ".~" + 16 hex digits,
// in the target's folder. The target's name is cut at a character boundary so
// that the side name fits in a file name's 255 bytes.
std::string SideNameFor(const std::string& nativeTarget);
// Whether a bare name (UTF-8 or Windows-1251: the form is ASCII) has that form.
// Scans never take such names: they belong to a write under way or cut short.
bool IsSideName(std::string_view bareName);

// A new file for a target path that takes the target's name, replacing what
// had it, only at Commit. Where the file system offers unnamed files
// (O_TMPFILE) it has no name until then; elsewhere it is written under its
// side name. Dropped without trace unless committed.
class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile() { Discard(); }

  // Called before the side name can appear in the folder (at Create when
  // there are no unnamed files, else at a Commit that replaces a target), so
  // that a journal can find the name after a crash; a non-zero result fails
  // the Create or Commit with it.
  std::function<int(const std::string& nativeSide)> BeforeSideName;

  // 0 or errno. The mode is applied with the process's umask.
  [[nodiscard]] int Create(const std::string& nativeTarget, unsigned mode);
  int Fd() const { return fd_; }
  // Names the file. Synced flushes the data first and the folder after.
  [[nodiscard]] int Commit(bool synced);
  void Discard();

  // Tests take the path of file systems without unnamed files.
  static void ForceSideNamesForTests(bool force);
  // Tests take the path of kernels that refuse to link a descriptor itself.
  static void RefuseDescriptorLinksForTests(bool refuse);

 private:
  std::string target_;
  std::string side_;  // chosen when a side name is needed; on disk only while sideNamed_
  int fd_ = -1;
  bool unnamed_ = false;
  bool sideNamed_ = false;
};

}  // namespace platform
