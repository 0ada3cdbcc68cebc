#include "KeyStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "Codes.h"
#include "Files.h"
#include "platform/Cp1251.h"
#include "platform/Durable.h"

namespace orlak {
namespace {

std::string KeyPath(const std::string& folder, std::string_view id, const char* suffix) {
  return JoinPath(folder, platform::Cp1251ToUtf8(id) + suffix);
}

// Reads a key file of exactly `size` bytes; a larger file reads as size + 1
// bytes so the parser refuses it. Returns the errno value or 0; EACCES when
// the file's mode has bits of refusedModes, with the mode's permission bits
// in mode and nothing read.
int ReadKeyFile(const std::string& path, unsigned char* buffer, size_t size, size_t& got,
                mode_t refusedModes, mode_t& mode) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return EINVAL;
  }
  mode = st.st_mode & 07777;
  if ((st.st_mode & refusedModes) != 0) {
    ::close(fd);
    return EACCES;
  }
  got = 0;
  int error = 0;
  while (got <= size) {
    ssize_t n = ::read(fd, buffer + got, size + 1 - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  return error;
}

}  // namespace

// Creates path with the bytes without ever replacing a file: written under a
// side name, then linked to the final name, which fails if it exists.
int WriteNewFile(const std::string& path, const unsigned char* data, size_t size, mode_t mode) {
  const std::string side = platform::SideNameFor(path);
  int fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return errno;
  int error = platform::WriteAll(fd, data, size);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::link(side.c_str(), path.c_str()) != 0) error = errno;
  ::unlink(side.c_str());
  if (error == 0) error = platform::SyncFolder(platform::FolderOf(path));
  return error;
}

std::string PublicKeyPath(const std::string& nativeFolder, std::string_view id) {
  return KeyPath(nativeFolder, id, kPublicKeySuffix);
}

std::string SecretKeyPath(const std::string& nativeFolder, std::string_view id) {
  return KeyPath(nativeFolder, id, kSecretKeySuffix);
}

uint16_t LoadSecretKey(const std::string& nativeFolder, std::string_view id, SecretKey& key,
                       mode_t* openMode) {
  WipedBytes<kSecretKeyFileSize + 1> bytes;
  size_t got = 0;
  mode_t mode = 0;
  int error = ReadKeyFile(SecretKeyPath(nativeFolder, id), bytes.data(), kSecretKeyFileSize, got,
                          kSecretKeyOpenModes, mode);
  // A file we may not open at all leaves mode 0: a read error, not a loose key.
  const bool tooOpen = error == EACCES && (mode & kSecretKeyOpenModes) != 0;
  if (openMode) *openMode = tooOpen ? mode : 0;
  if (error == ENOENT || error == ENOTDIR) return kKeyNotFound;
  if (error == EINVAL || tooOpen) return kSecretKeyDamaged;
  if (error != 0) return kReadFailed;
  return ParseSecretKeyFile(bytes.data(), got, id, key);
}

bool SecretKeyFileExists(const std::string& nativeFolder, std::string_view id) {
  struct stat st;
  if (::stat(SecretKeyPath(nativeFolder, id).c_str(), &st) == 0) return true;
  return errno != ENOENT && errno != ENOTDIR;
}

uint16_t LoadPublicKey(const std::string& nativeFolder, std::string_view id, PublicKey& key,
                       unsigned char* record) {
  unsigned char bytes[kPublicKeyFileSize + 1];
  size_t got = 0;
  mode_t mode = 0;
  int error = ReadKeyFile(PublicKeyPath(nativeFolder, id), bytes, kPublicKeyFileSize, got, 0, mode);
  if (error == ENOENT || error == ENOTDIR) return kPublicKeyMissing;
  if (error == EINVAL) return kPublicKeyDamaged;
  if (error != 0) return kReadFailed;
  uint16_t code = ParsePublicKeyFile(bytes, got, id, key);
  if (code == kOk && record) std::copy(bytes, bytes + kPublicKeyFileSize, record);
  return code;
}

int CreateKeyFiles(const std::string& nativeSecretFolder, const std::string& nativePublicFolder,
                   const SecretKey& key, std::string& failedPath) {
  std::string secretPath = SecretKeyPath(nativeSecretFolder, key.pub.id);
  std::string publicPath = PublicKeyPath(nativePublicFolder, key.pub.id);
  struct stat st;
  for (const std::string* path : {&secretPath, &publicPath}) {
    if (::lstat(path->c_str(), &st) == 0) {
      failedPath = *path;
      return EEXIST;
    }
  }
  WipedBytes<kSecretKeyFileSize> secretBytes;
  EncodeSecretKeyFile(key, secretBytes.data());
  unsigned char publicBytes[kPublicKeyFileSize];
  EncodePublicKeyFile(key, publicBytes);

  int error = WriteNewFile(secretPath, secretBytes.data(), kSecretKeyFileSize, 0600);
  if (error != 0) {
    failedPath = secretPath;
    return error;
  }
  error = WriteNewFile(publicPath, publicBytes, kPublicKeyFileSize, 0644);
  if (error != 0) {
    ::unlink(secretPath.c_str());
    failedPath = publicPath;
    return error;
  }
  return 0;
}

}  // namespace orlak
