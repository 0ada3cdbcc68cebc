// Making, importing and exporting OpenPGP key files, for marvik and the
// tests: a key pair as "<identifier>.asc" in both key folders (the secret
// one unprotected, mode 0600), a partner's public key, one of our secret
// keys exported from gpg, our public key armored for a partner, and the
// description marvik lists.
#pragma once

#include <cstdint>
#include <string>

#include "PgpKeys.h"

namespace orlak::pgp {

struct NewKey {
  std::string id;                    // Windows-1251 key identifier
  std::string userId;                // UTF-8, e.g. "Bank <pay@bank.example>"
  std::string algorithm = "ed25519";  // "ed25519" (with cv25519), "rsa3072", "rsa4096"
  int64_t expiresAt = 0;             // seconds since 1970, after now; 0 never
};

struct KeyFileResult {
  uint16_t code = 0;        // kOk, or a result code for a refused key
  int error = 0;            // errno value of a failed write (EEXIST: a key of that name exists)
  std::string failedPath;   // the path the error concerns
  std::string fingerprint;  // of the key written
};

// The file name an identifier's OpenPGP key file gets.
std::string KeyFilePath(const std::string& folder, const std::string& id);

KeyFileResult CreateKeyFiles(const std::string& secretFolder, const std::string& publicFolder,
                             const NewKey& request);

// One transferable public key, armored or binary; written armored.
KeyFileResult ImportPublicKey(const std::string& bytes, const std::string& publicFolder,
                              const std::string& id);

// One transferable secret key; its protection is removed with the
// passphrase (kSecretKeyProtected when it does not open it). Its public
// half also goes to the public-keys folder unless a key of that name is
// there. wasProtected says whether a passphrase was needed.
KeyFileResult ImportSecretKey(const std::string& bytes, const std::string& passphrase,
                              const std::string& secretFolder, const std::string& publicFolder,
                              const std::string& id, bool* wasProtected = nullptr);

// Whether the key in bytes (one secret key) needs a passphrase.
bool NeedsPassphrase(const std::string& bytes);

// The armored public key of a key file (public or secret).
uint16_t ExportPublicKey(const KeyFile& file, std::string& armored);

// Tab-separated: format, fingerprint, algorithm and size, created, expires,
// capabilities, then "ok" or what the library refuses and why.
std::string Describe(const KeyFile& file, bool secret);

}  // namespace orlak::pgp
