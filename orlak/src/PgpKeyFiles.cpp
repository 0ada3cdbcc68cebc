#include "PgpKeyFiles.h"

#include <sodium.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "Codes.h"
#include "KeyFacts.h"
#include "KeyStore.h"
#include "platform/Cp1251.h"

namespace orlak::pgp {
namespace {

struct GenerateOp {
  rnp_op_generate_t op = nullptr;
  ~GenerateOp() { rnp_op_generate_destroy(op); }
};

std::string FolderFile(const std::string& folder, const std::string& name) {
  return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + name;
}

// Any key file of the identifier, of either kind, in the folder.
std::string ExistingKeyFile(const std::string& folder, const std::string& id) {
  const std::string stem = platform::Cp1251ToUtf8(id);
  struct stat st;
  for (const char* suffix : {".asc", ".pgp", ".gpg", kPublicKeySuffix, kSecretKeySuffix}) {
    std::string path = FolderFile(folder, stem + suffix);
    if (::lstat(path.c_str(), &st) == 0) return path;
  }
  return {};
}

// The ring of one key from bytes, and its primary key.
uint16_t ReadOneKey(const std::string& bytes, bool secret, rnp::Ffi& ffi, rnp::Key& primary) {
  const uint16_t damaged = secret ? kSecretKeyDamaged : kPublicKeyDamaged;
  ffi = rnp::NewFfi();
  rnp::Input input = rnp::InputOfMemory(bytes.data(), bytes.size());
  const uint32_t flags = RNP_LOAD_SAVE_PUBLIC_KEYS | (secret ? RNP_LOAD_SAVE_SECRET_KEYS : 0);
  if (!ffi || !input || rnp_import_keys(ffi.get(), input.get(), flags, nullptr) != RNP_SUCCESS)
    return damaged;
  rnp_identifier_iterator_t it = nullptr;
  if (rnp_identifier_iterator_create(ffi.get(), &it, "fingerprint") != RNP_SUCCESS) return damaged;
  int primaries = 0;
  const char* fpr = nullptr;
  while (rnp_identifier_iterator_next(it, &fpr) == RNP_SUCCESS && fpr) {
    rnp::Key key = rnp::FindByFingerprint(ffi.get(), fpr);
    bool isPrimary = false;
    if (key && rnp_key_is_primary(key.get(), &isPrimary) == RNP_SUCCESS && isPrimary) {
      ++primaries;
      primary = std::move(key);
    }
  }
  rnp_identifier_iterator_destroy(it);
  if (primaries != 1) return damaged;
  if (secret) {
    bool has = false;
    rnp_key_have_secret(primary.get(), &has);
    if (!has) return damaged;
  }
  return kOk;
}

std::string Fingerprint(rnp_key_handle_t key) {
  char* s = nullptr;
  rnp_key_get_fprint(key, &s);
  return rnp::Take(s);
}

uint16_t Export(rnp_key_handle_t primary, uint32_t what, std::string& armored) {
  rnp::Output out = rnp::MemoryOutput();
  if (!out || rnp_key_export(primary, out.get(),
                             what | RNP_KEY_EXPORT_SUBKEYS | RNP_KEY_EXPORT_ARMORED) != RNP_SUCCESS)
    return kCryptoFailure;
  armored = rnp::MemoryBytes(out.get());
  return kOk;
}

void WriteKey(const std::string& path, const std::string& bytes, mode_t mode,
              KeyFileResult& result) {
  if (result.error != 0) return;
  int error =
      WriteNewFile(path, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), mode);
  if (error != 0) {
    result.error = error;
    result.failedPath = path;
  }
}

// Every key of a primary and its subkeys, the primary first.
std::vector<rnp::Key> WholeKey(rnp_key_handle_t primary, rnp_ffi_t ffi) {
  std::vector<rnp::Key> keys;
  keys.push_back(rnp::FindByFingerprint(ffi, Fingerprint(primary)));
  size_t count = 0;
  rnp_key_get_subkey_count(primary, &count);
  for (size_t i = 0; i < count; ++i) {
    rnp_key_handle_t sub = nullptr;
    if (rnp_key_get_subkey_at(primary, i, &sub) == RNP_SUCCESS) keys.emplace_back(sub);
  }
  return keys;
}


// A key's expiry is kept as seconds after its creation, which the
// generation sets: fixed afterwards, the key ends at the very second asked.
bool ExpireAt(rnp_key_handle_t key, int64_t at) {
  if (at == 0) return true;
  uint32_t created = 0;
  if (rnp_key_get_creation(key, &created) != RNP_SUCCESS || at <= int64_t{created}) return false;
  return rnp_key_set_expiration(key, static_cast<uint32_t>(at - created)) == RNP_SUCCESS;
}

}  // namespace

std::string KeyFilePath(const std::string& folder, const std::string& id) {
  return FolderFile(folder, platform::Cp1251ToUtf8(id) + ".asc");
}

KeyFileResult CreateKeyFiles(const std::string& secretFolder, const std::string& publicFolder,
                             const NewKey& request) {
  KeyFileResult result;
  for (const std::string* folder : {&secretFolder, &publicFolder}) {
    std::string existing = ExistingKeyFile(*folder, request.id);
    if (!existing.empty()) {
      result.error = EEXIST;
      result.failedPath = existing;
      return result;
    }
  }
  rnp::Ffi ffi = rnp::NewFfi();
  if (!ffi) {
    result.code = kCryptoFailure;
    return result;
  }
  const bool rsa = request.algorithm != "ed25519";
  const uint32_t bits = request.algorithm == "rsa4096" ? 4096 : 3072;
  GenerateOp primaryOp;
  rnp_key_handle_t primaryHandle = nullptr;
  if (rnp_op_generate_create(&primaryOp.op, ffi.get(), rsa ? "RSA" : "EDDSA") != RNP_SUCCESS ||
      (rsa && rnp_op_generate_set_bits(primaryOp.op, bits) != RNP_SUCCESS) ||
      rnp_op_generate_set_userid(primaryOp.op, request.userId.c_str()) != RNP_SUCCESS ||
      rnp_op_generate_set_hash(primaryOp.op, RNP_ALGNAME_SHA256) != RNP_SUCCESS ||
      rnp_op_generate_add_usage(primaryOp.op, "sign") != RNP_SUCCESS ||
      rnp_op_generate_add_usage(primaryOp.op, "certify") != RNP_SUCCESS ||
      rnp_op_generate_execute(primaryOp.op) != RNP_SUCCESS ||
      rnp_op_generate_get_key(primaryOp.op, &primaryHandle) != RNP_SUCCESS) {
    result.code = kCryptoFailure;
    return result;
  }
  rnp::Key primary(primaryHandle);
  GenerateOp subOp;
  rnp_key_handle_t subHandle = nullptr;
  if (rnp_op_generate_subkey_create(&subOp.op, ffi.get(), primary.get(), rsa ? "RSA" : "ECDH") !=
          RNP_SUCCESS ||
      (rsa ? rnp_op_generate_set_bits(subOp.op, bits)
           : rnp_op_generate_set_curve(subOp.op, "Curve25519")) != RNP_SUCCESS ||
      rnp_op_generate_set_hash(subOp.op, RNP_ALGNAME_SHA256) != RNP_SUCCESS ||
      rnp_op_generate_add_usage(subOp.op, "encrypt") != RNP_SUCCESS ||
      rnp_op_generate_execute(subOp.op) != RNP_SUCCESS ||
      rnp_op_generate_get_key(subOp.op, &subHandle) != RNP_SUCCESS) {
    result.code = kCryptoFailure;
    return result;
  }
  rnp::Key sub(subHandle);
  if (!ExpireAt(primary.get(), request.expiresAt) || !ExpireAt(sub.get(), request.expiresAt)) {
    result.code = kCryptoFailure;
    return result;
  }
  std::string secretText, publicText;
  if ((result.code = Export(primary.get(), RNP_KEY_EXPORT_SECRET, secretText)) != kOk ||
      (result.code = Export(primary.get(), RNP_KEY_EXPORT_PUBLIC, publicText)) != kOk)
    return result;
  result.fingerprint = Fingerprint(primary.get());
  const std::string secretPath = KeyFilePath(secretFolder, request.id);
  WriteKey(secretPath, secretText, 0600, result);
  WriteKey(KeyFilePath(publicFolder, request.id), publicText, 0644, result);
  if (result.error != 0 && result.failedPath != secretPath) ::unlink(secretPath.c_str());
  sodium_memzero(secretText.data(), secretText.size());
  return result;
}

namespace {

// A key never replaces another of its name: true, with the file named in the
// result, when one is there.
bool KeyFileExists(const std::string& folder, const std::string& id, KeyFileResult& result) {
  const std::string existing = ExistingKeyFile(folder, id);
  if (existing.empty()) return false;
  result.error = EEXIST;
  result.failedPath = existing;
  return true;
}

}  // namespace

KeyFileResult ImportPublicKey(const std::string& bytes, const std::string& publicFolder,
                              const std::string& id) {
  KeyFileResult result;
  if (KeyFileExists(publicFolder, id, result)) return result;
  rnp::Ffi ffi;
  rnp::Key primary;
  if ((result.code = ReadOneKey(bytes, false, ffi, primary)) != kOk) return result;
  std::string text;
  if ((result.code = Export(primary.get(), RNP_KEY_EXPORT_PUBLIC, text)) != kOk) return result;
  result.fingerprint = Fingerprint(primary.get());
  WriteKey(KeyFilePath(publicFolder, id), text, 0644, result);
  return result;
}

bool NeedsPassphrase(const std::string& bytes) {
  rnp::Ffi ffi;
  rnp::Key primary;
  if (ReadOneKey(bytes, true, ffi, primary) != kOk) return false;
  for (const rnp::Key& key : WholeKey(primary.get(), ffi.get())) {
    bool isProtected = false;
    if (key && rnp_key_is_protected(key.get(), &isProtected) == RNP_SUCCESS && isProtected)
      return true;
  }
  return false;
}

KeyFileResult ImportSecretKey(const std::string& bytes, const std::string& passphrase,
                              const std::string& secretFolder, const std::string& publicFolder,
                              const std::string& id, bool* wasProtected) {
  KeyFileResult result;
  if (KeyFileExists(secretFolder, id, result)) return result;
  rnp::Ffi ffi;
  rnp::Key primary;
  if ((result.code = ReadOneKey(bytes, true, ffi, primary)) != kOk) return result;
  bool needed = false;
  for (const rnp::Key& key : WholeKey(primary.get(), ffi.get())) {
    bool isProtected = false, hasSecret = false;
    if (!key) continue;
    rnp_key_have_secret(key.get(), &hasSecret);
    if (!hasSecret || rnp_key_is_protected(key.get(), &isProtected) != RNP_SUCCESS || !isProtected)
      continue;
    needed = true;
    if (rnp_key_unprotect(key.get(), passphrase.c_str()) != RNP_SUCCESS) {
      result.code = kSecretKeyProtected;
      return result;
    }
  }
  if (wasProtected) *wasProtected = needed;
  std::string secretText, publicText;
  if ((result.code = Export(primary.get(), RNP_KEY_EXPORT_SECRET, secretText)) != kOk ||
      (result.code = Export(primary.get(), RNP_KEY_EXPORT_PUBLIC, publicText)) != kOk)
    return result;
  result.fingerprint = Fingerprint(primary.get());
  WriteKey(KeyFilePath(secretFolder, id), secretText, 0600, result);
  sodium_memzero(secretText.data(), secretText.size());
  if (result.error == 0 && ExistingKeyFile(publicFolder, id).empty())
    WriteKey(KeyFilePath(publicFolder, id), publicText, 0644, result);
  return result;
}

uint16_t ExportPublicKey(const KeyFile& file, std::string& armored) {
  if (file.code != kOk) return file.code;
  rnp::Key key =
      file.secret ? rnp::FindByFingerprint(file.secret.get(), file.fingerprint) : PublicKeyOf(file);
  if (!key) return kPublicKeyMissing;
  return Export(key.get(), RNP_KEY_EXPORT_PUBLIC, armored);
}

std::string Describe(const KeyFile& file, bool secret) {
  const std::string format = "openpgp";
  if (file.code != kOk) return format + "\t\t\t\t\t\trefused: " + CodeName(file.code);
  rnp::Key primary =
      secret ? rnp::FindByFingerprint(file.secret.get(), file.fingerprint) : PublicKeyOf(file);
  if (!primary) return format + "\t\t\t\t\t\trefused: " + CodeName(kPublicKeyMissing);
  std::string algorithms, capabilities;
  uint32_t created = 0;
  rnp_key_get_creation(primary.get(), &created);
  uint32_t expiration = 0;
  rnp_key_get_expiration(primary.get(), &expiration);
  rnp_ffi_t ring = secret ? file.secret.get() : PublicRing();
  for (const rnp::Key& key : WholeKey(primary.get(), ring)) {
    if (!key) continue;
    char* alg = nullptr;
    rnp_key_get_alg(key.get(), &alg);
    uint32_t bits = 0;
    rnp_key_get_bits(key.get(), &bits);
    if (!algorithms.empty()) algorithms += "+";
    algorithms += rnp::Take(alg) + "/" + std::to_string(bits);
    for (const char* usage : {"sign", "encrypt"}) {
      bool allowed = false;
      rnp_key_allows_usage(key.get(), usage, &allowed);
      const std::string mark = usage[0] == 's' ? "sign" : "encrypt";
      if (allowed && capabilities.find(mark) == std::string::npos)
        capabilities += (capabilities.empty() ? "" : ",") + mark;
    }
  }
  std::string verdict = "ok";
  uint16_t code = CheckUsable(primary.get(), secret ? "sign" : "encrypt");
  if (code == kOk && secret) {
    rnp_key_handle_t signing = nullptr;
    if (rnp_key_get_default_key(primary.get(), "sign", 0, &signing) == RNP_SUCCESS && signing) {
      rnp::Key owned(signing);
      bool isProtected = false;
      rnp_key_is_protected(signing, &isProtected);
      if (isProtected) code = kSecretKeyProtected;
    }
  }
  if (code != kOk) verdict = std::string("refused: ") + CodeName(code);
  return format + "\t" + file.fingerprint + "\t" + algorithms + "\t" + UtcDate(created) + "\t" +
         (expiration == 0 ? std::string("never") : UtcDate(int64_t{created} + expiration)) + "\t" +
         capabilities + "\t" + verdict;
}

}  // namespace orlak::pgp
