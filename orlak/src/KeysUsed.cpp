#include "KeysUsed.h"

namespace orlak {
namespace {

thread_local std::string used;
thread_local std::string refusal;

void Add(const std::string& id, const std::string& fingerprint, size_t keys) {
  const std::string line = id + "\t" + fingerprint + "\t" + std::to_string(keys) + "\n";
  if (used.find(line) == std::string::npos) used += line;
}

}  // namespace

void ForgetKeysUsed() {
  used.clear();
  refusal.clear();
}

void NoteKeyUsed(const std::string& folder, bool secret, const pgp::KeyFile& key) {
  // Copied first: reading the folder again (it changed) replaces its entries.
  const std::string id = pgp::RotationBase(key.id), fingerprint = key.fingerprint;
  Add(id, fingerprint, pgp::RotationKeys(folder, secret, id).size());
}

void NoteKeyUsed(const std::string& folder, const std::string& id, const std::string& fingerprint) {
  const std::string base = pgp::RotationBase(id);
  Add(base, fingerprint, pgp::RotationKeys(folder, false, base).size());
}

const std::string& KeysUsedText() {
  return used;
}

void NoteWeakSignature(const std::string& signer, const std::string& what,
                       const std::string& value) {
  refusal = signer + "\t" + what + "\t" + value;
}

const std::string& RefusalText() {
  return refusal;
}

}  // namespace orlak
