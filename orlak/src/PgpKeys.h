// OpenPGP keys in the key folders: "<identifier>.asc" (armored),
// "<identifier>.pgp" or "<identifier>.gpg" (binary), one primary key with its
// subkeys per file. A folder's files are read once and again only when the
// folder changed (its modification time), so a pass does not parse keys per
// file. Public keys from every folder read go into one ring kept for the
// process, as the key blocks that name them may outlive a part's folders;
// each secret key keeps a ring of its own, dropped when a part closes.
//
// RNP's objects are not safe across threads: every function here, and every
// use of what they return, needs the lock of Lock().
#pragma once

#include <rnp/rnp.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Rnp.h"

namespace orlak::pgp {

std::unique_lock<std::mutex> Lock();

struct KeyFile {
  std::string id;    // the file's name without its suffix, Windows-1251
  std::string path;  // the file system's name
  uint16_t code = 0;  // kOk, or why the file cannot be used
  std::string fingerprint;          // of the primary key, upper-case hex
  std::vector<std::string> keyIds;  // of the primary key and every subkey
  std::vector<std::string> emails;  // of the user IDs, lower-case
  rnp::Ffi secret;                  // secret folder only: the key's own ring
};

inline constexpr const char* kPgpSuffixes[] = {".asc", ".pgp", ".gpg"};

// The OpenPGP key files of a folder (file system name), sorted by identifier.
const std::vector<KeyFile>& FolderKeys(const std::string& folder, bool secret);

// The key file an identifier names: the file named so (of several that serve
// it, the newest one usable for signing (secret) or encrypting (public)),
// else the one key whose fingerprint, 16-hex key ID or user ID e-mail it is. kKeyNotFound
// (secret) or kPublicKeyMissing (public) when none, kAmbiguousKey when
// several, with their identifiers in candidates when given.
uint16_t FindKey(const std::string& folder, bool secret, const std::string& id,
                 const KeyFile*& found, std::vector<std::string>* candidates = nullptr);

// The identifier a key file serves: its name, or for a key placed beside
// its predecessor as "<identifier>.<digits>" (BANK.2027) the name before
// the dot. Several keys of one identifier let it rotate without a gap.
std::string RotationBase(const std::string& fileId);

// Every key file that serves the identifier (its own and those beside it),
// for decryption, which takes a file addressed to any of them.
std::vector<const KeyFile*> RotationKeys(const std::string& folder, bool secret,
                                         const std::string& id);

// Whether an argument may name an OpenPGP key although it is no key
// identifier: a fingerprint, a key ID or an e-mail address.
bool IsLookupForm(const std::string& id);

// Every public key read so far.
rnp_ffi_t PublicRing();
// The primary key of a file in the public ring.
rnp::Key PublicKeyOf(const KeyFile& file);

// Secret keys are read again after this (a part closed).
void ForgetSecretKeys();

// kOk when the primary key and a subkey (or the primary) for the usage
// ("sign", "encrypt") are valid, not expired or revoked, and strong enough.
uint16_t CheckUsable(rnp_key_handle_t primary, const char* usage);
// True for RSA, DSA and ElGamal keys under 2048 bits.
bool IsWeakKey(rnp_key_handle_t key);

// Key blocks that designate an OpenPGP public key (see FORMAT.md).
void EncodeKeyBlock(const KeyFile& file, unsigned char* block);
bool IsKeyBlock(const unsigned char* block);
// kPublicKeyDamaged unless the block is one EncodeKeyBlock made.
uint16_t ParseKeyBlock(const unsigned char* block, std::string& id, std::string& fingerprint);

}  // namespace orlak::pgp
