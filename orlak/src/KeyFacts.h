// What an operator needs to know of each key in a key folder, both formats
// ("<identifier>.pub"/".sec" and the OpenPGP files): what it is, what it can
// do, when it was made and when it stops, and whether the library uses it.
// marvik lists these facts; the library hands them to the application one
// key at a time (KeyState in orlak.h).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orlak {

enum class KeyCondition : uint8_t { kUsable, kExpired, kRevoked, kWeak, kRefused };

struct KeyFacts {
  std::string id;      // the file's name without its suffix, Windows-1251
  std::string path;    // the file system's name
  bool secret = false;  // read from the secret-keys folder
  std::string format;   // "orlak" or "openpgp"
  std::string fingerprint;
  std::string algorithm;  // each key's algorithm/bits, '+' between them
  int64_t created = 0;    // seconds since 1970; 0 when the format keeps no date
  int64_t expires = 0;    // 0: never
  bool canSign = false, canEncrypt = false;
  KeyCondition condition = KeyCondition::kRefused;
  std::string reason;  // of a refused key: what is wrong and how to mend it
};

// Every key file of the folder (file system name), sorted by file name;
// none when the folder cannot be read. A key whose expiry is at or before
// now is expired.
std::vector<KeyFacts> FolderKeyFacts(const std::string& folder, bool secret, int64_t now);

// The facts of the key an identifier names in the folder: by its file's
// name, or for an OpenPGP key by fingerprint, key ID or e-mail address.
// kOk; kKeyNotFound (secret) or kPublicKeyMissing when no file holds it;
// kAmbiguousKey when a lookup matches several.
uint16_t FindKeyFacts(const std::string& folder, bool secret, const std::string& id, int64_t now,
                      KeyFacts& found);

// The mode of a file that holds a secret key and that group or others may
// access; 0 for any other file.
mode_t LooseSecretKeyMode(const std::string& path);

// Whole days from now to the expiry (rounded down; negative once past).
int64_t DaysLeft(int64_t expires, int64_t now);

// "usable", "expires in N days" (within warnDays), "expired", "revoked",
// "weak" or "refused: <reason>".
std::string ConditionText(const KeyFacts& facts, int64_t now, int warnDays);

// YYYY-MM-DD of a time in UTC.
std::string UtcDate(int64_t seconds);

}  // namespace orlak
