#include "Files.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Codes.h"
#include "platform/Cp1251.h"

namespace orlak {
namespace {

// The longest file name (not path) the usual file systems take, in bytes.
constexpr size_t kNameMax = 255;

}  // namespace

std::string NativePath(const char* cp1251Path) {
  return platform::Cp1251ToUtf8(cp1251Path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool IsFolder(const std::string& nativePath) {
  struct stat st;
  return ::stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

uint16_t InputFile::Open(const std::string& nativePath, bool forUpdate) {
  // O_NONBLOCK so that a FIFO put in place of a file cannot hang the open.
  fd_ = ::open(nativePath.c_str(), (forUpdate ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return kInputOpen;
  struct stat st;
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return kInputOpen;
  int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) return kInputOpen;
  size_ = static_cast<uint64_t>(st.st_size);
  return kOk;
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
  auto* p = static_cast<unsigned char*>(buffer);
  while (n > 0) {
    ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    offset += static_cast<uint64_t>(got);
    n -= static_cast<size_t>(got);
  }
  return true;
}

ssize_t InputFile::Read(void* buffer, size_t n) {
  auto* p = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::read(fd_, p + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

bool InputFile::Seek(uint64_t offset) {
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool InputFile::Truncate(uint64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
  size_ = size;
  return true;
}

OutputFile::~OutputFile() {
  Discard();
}

void OutputFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!side_.empty()) {
    ::unlink(side_.c_str());
    side_.clear();
  }
}

std::string RandomSideName(const std::string& nativePath, const char* kind) {
  unsigned char tag[6];
  randombytes_buf(tag, sizeof tag);
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%s-%02x%02x%02x%02x%02x%02x", kind, tag[0], tag[1], tag[2],
                tag[3], tag[4], tag[5]);
  // A name holds at most kNameMax bytes: the target's own name is cut so that
  // its side name fits too, at a character boundary of the UTF-8 name.
  const size_t slash = nativePath.rfind('/');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const size_t room = kNameMax - std::strlen(suffix);
  size_t end = nativePath.size();
  if (end - nameAt > room) {
    end = nameAt + room;
    while (end > nameAt && (static_cast<unsigned char>(nativePath[end]) & 0xC0) == 0x80) --end;
  }
  return nativePath.substr(0, end) + suffix;
}

uint16_t OutputFile::Create(const std::string& nativeTarget, mode_t mode) {
  target_ = nativeTarget;
  // A random name, created exclusively: never someone else's file.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string side = RandomSideName(nativeTarget, "orlak");
    int fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      fd_ = fd;
      side_ = side;
      return kOk;
    }
    if (errno != EEXIST) break;
  }
  return kOutputOpen;
}

uint16_t OutputFile::Write(const void* data, size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ssize_t put = ::write(fd_, p, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return kWriteFailed;
    p += put;
    n -= static_cast<size_t>(put);
  }
  return kOk;
}

uint16_t OutputFile::Commit() {
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    Discard();
    return kWriteFailed;
  }
  if (::rename(side_.c_str(), target_.c_str()) != 0) {
    Discard();
    return kRenameFailed;
  }
  side_.clear();
  return kOk;
}

}  // namespace orlak
