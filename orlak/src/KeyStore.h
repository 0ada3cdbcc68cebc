// Key files in the key folders: "<identifier>.pub" in the public-keys folder
// and "<identifier>.sec" (mode 0600) in the secret-keys folder, the
// identifier's Windows-1251 bytes turned into the file system's UTF-8.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "Keys.h"

namespace orlak {

inline constexpr const char* kPublicKeySuffix = ".pub";
inline constexpr const char* kSecretKeySuffix = ".sec";

std::string PublicKeyPath(const std::string& nativeFolder, std::string_view id);
std::string SecretKeyPath(const std::string& nativeFolder, std::string_view id);

// A secret key file must be its owner's alone, as ssh requires of private
// keys: one whose mode gives its group or others any access is refused
// before it is read.
inline constexpr mode_t kSecretKeyOpenModes = 077;

// kKeyNotFound, kReadFailed or kSecretKeyDamaged on failure, the latter also
// for a file whose mode is too open; then openMode, when given, receives the
// file's permission bits (else it is set to 0).
uint16_t LoadSecretKey(const std::string& nativeFolder, std::string_view id, SecretKey& key,
                       mode_t* openMode = nullptr);
// Whether LoadSecretKey would find a file for the identifier (whatever state
// it is in), without reading it.
bool SecretKeyFileExists(const std::string& nativeFolder, std::string_view id);
// kPublicKeyMissing, kReadFailed or kPublicKeyDamaged on failure. record, when
// given, receives the file's kPublicKeyFileSize bytes.
uint16_t LoadPublicKey(const std::string& nativeFolder, std::string_view id, PublicKey& key,
                       unsigned char* record = nullptr);

// Creates path with the bytes, never replacing a file: written under a side
// name, synced, then linked to the final name. 0 or the errno value.
int WriteNewFile(const std::string& path, const unsigned char* data, size_t size, mode_t mode);

// Writes a new key pair's files, never replacing existing ones: 0, or the
// errno value of the failure (EEXIST when either file exists) with the path
// it concerns in failedPath. Nothing is left behind on failure.
int CreateKeyFiles(const std::string& nativeSecretFolder, const std::string& nativePublicFolder,
                   const SecretKey& key, std::string& failedPath);

}  // namespace orlak
