// Which OpenPGP keys the calling thread's last operation used: an
// identifier may have several keys while it rotates, and an operator wants
// to know which of them signed, received or opened a file (GetKeysUsed in
// orlak.h), and why it refused a signature as weak. Each exported call that
// uses keys starts both afresh.
#pragma once

#include <string>

#include "PgpKeys.h"

namespace orlak {

void ForgetKeysUsed();
// Notes a key of folder's; the caller holds pgp::Lock(). The folder may be
// read again, so no entry of it is to be used afterwards.
void NoteKeyUsed(const std::string& folder, bool secret, const pgp::KeyFile& key);
// Notes a receiver's key by the identifier and fingerprint its key block names.
void NoteKeyUsed(const std::string& folder, const std::string& id, const std::string& fingerprint);
// One line per key, "<identifier>\t<fingerprint>\t<keys of the identifier>\n".
const std::string& KeysUsedText();

// Why the last call refused a signature as weak (GetRefusalReason in orlak.h):
// the signer as the report would name it, and what is weak ("hash" with the
// hash algorithm's name, or "key" with the key's algorithm/bits).
void NoteWeakSignature(const std::string& signer, const std::string& what,
                       const std::string& value);
const std::string& RefusalText();

}  // namespace orlak
