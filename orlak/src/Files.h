// File access for the library: inputs opened only when they are regular
// files, outputs that take their name only when complete (the shared
// platform::AtomicFile), so a failed operation never leaves a partial output
// behind.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ByteSource.h"
#include "platform/Durable.h"

namespace orlak {

// The file system's (UTF-8) form of a Windows-1251 path.
std::string NativePath(const char* cp1251Path);
// folder + "/" (unless it ends in one) + name.
std::string JoinPath(const std::string& folder, const std::string& name);
bool IsFolder(const std::string& nativePath);

class InputFile final : public ByteSource {
 public:
  InputFile() = default;
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // kInputOpen when the path cannot be opened or is not a regular file.
  // forUpdate opens it for writing too, for Truncate.
  uint16_t Open(const std::string& nativePath, bool forUpdate = false);
  uint64_t Size() const override { return size_; }
  // Reads of a few bytes (packet headers, format marks) are served from one
  // block read around them, so that walking a file's structure costs one
  // system call per block rather than one per field. A file of up to one
  // block (32 KiB) is read whole by the first such read, and every later read of it
  // (a second look at its format, the whole content) comes from memory: a
  // library call opens its input once and reads a small one once.
  bool ReadAt(uint64_t offset, void* buffer, size_t n) override;
  // Sequential reading from the current position: the byte count (short only
  // at the end of the file as it was when opened), or -1 on a read error.
  // A large file is read ahead in pieces of kReadAhead: RNP asks for a few
  // KiB at a time, which would otherwise be a system call each.
  ssize_t Read(void* buffer, size_t n);
  static constexpr size_t kReadAhead = 256 * 1024;
  bool Seek(uint64_t offset);
  bool Truncate(uint64_t size);

 private:
  bool ReadFully(uint64_t offset, void* buffer, size_t n);
  // Whether the block read holds [offset, offset + n).
  bool InBlock(uint64_t offset, size_t n) const {
    return offset >= blockAt_ && offset - blockAt_ <= block_.size() &&
           n <= block_.size() - (offset - blockAt_);
  }

  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t position_ = 0;             // of sequential reading
  std::vector<unsigned char> block_;  // the file's bytes from blockAt_
  uint64_t blockAt_ = 0;
  std::vector<unsigned char> ahead_;  // the file's bytes from aheadAt_
  uint64_t aheadAt_ = 0;
};

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // A new file for the target with the given mode (less the umask), without
  // a name yet (or under a side name). kOutputOpen on failure.
  uint16_t Create(const std::string& nativeTarget, mode_t mode);
  // Writes under kDirectWrite (RNP's, of a few KiB to 32 KiB) are gathered
  // into pieces of kGather before they go out; larger ones (the own
  // format's chunks) go out as they come.
  uint16_t Write(const void* data, size_t n);  // kWriteFailed
  // Gives the file the target's name, replacing what had it.
  uint16_t Commit();  // kWriteFailed, kRenameFailed
  static constexpr size_t kGather = 256 * 1024, kDirectWrite = 64 * 1024;

 private:
  uint16_t Flush();

  platform::AtomicFile file_;  // dropped without trace unless committed
  std::vector<unsigned char> gathered_;
};

}  // namespace orlak
