#include "PgpKeys.h"

#include <dirent.h>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

#include "Bytes.h"
#include "Codes.h"
#include "KeyId.h"
#include "KeyStore.h"
#include "Keys.h"
#include "platform/Cp1251.h"

namespace orlak::pgp {
namespace {

// Larger files are no key a partner hands over.
constexpr size_t kMaxKeyFileSize = 1 << 20;

struct Folder {
  struct timespec mtime = {};
  std::vector<KeyFile> files;
};

struct State {
  std::mutex mutex;
  rnp::Ffi publicRing;
  std::map<std::pair<std::string, bool>, Folder> folders;
};

// Never destroyed: RNP's own static objects may be gone by the time static
// destructors would run, and the process's end frees the memory anyway.
State& TheState() {
  static State* const state = new State;
  return *state;
}

bool EndsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() > n && s.compare(s.size() - n, n, suffix) == 0;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsHex(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
  });
}

// The e-mail address of a user ID: between '<' and '>', or the whole ID
// when it is a bare address.
std::string EmailOf(const std::string& uid) {
  const size_t open = uid.rfind('<');
  const size_t close = uid.rfind('>');
  if (open != std::string::npos && close != std::string::npos && close > open)
    return Lower(uid.substr(open + 1, close - open - 1));
  if (uid.find('@') != std::string::npos && uid.find(' ') == std::string::npos) return Lower(uid);
  return {};
}

// A key file's bytes; a secret key file must be its owner's alone.
uint16_t ReadFile(const std::string& path, bool secret, std::string& bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kReadFailed;
  struct stat st;
  uint16_t code = kOk;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > kMaxKeyFileSize)
    code = secret ? kSecretKeyDamaged : kPublicKeyDamaged;
  else if (secret && (st.st_mode & kSecretKeyOpenModes) != 0)
    code = kSecretKeyDamaged;
  if (code == kOk) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
      if (n <= 0) {
        code = kReadFailed;
        break;
      }
      got += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  return code;
}

// The primary keys of a ring.
std::vector<rnp::Key> Primaries(rnp_ffi_t ffi) {
  std::vector<rnp::Key> keys;
  rnp_identifier_iterator_t it = nullptr;
  if (rnp_identifier_iterator_create(ffi, &it, "fingerprint") != RNP_SUCCESS) return keys;
  const char* fpr = nullptr;
  while (rnp_identifier_iterator_next(it, &fpr) == RNP_SUCCESS && fpr) {
    rnp::Key key = rnp::FindByFingerprint(ffi, fpr);
    bool primary = false;
    if (key && rnp_key_is_primary(key.get(), &primary) == RNP_SUCCESS && primary)
      keys.push_back(std::move(key));
  }
  rnp_identifier_iterator_destroy(it);
  return keys;
}

// Lends a secret key's ring the public keys of the public ring that an
// operation asks for (the signers of a message being decrypted). The
// library as Debian builds it writes every failed key search to the
// standard error, whatever the ring's log is set to: without the lending,
// each signed file decrypted would put "signer's key not found" there.
void ProvidePublicKey(rnp_ffi_t ffi, void*, const char* type, const char* identifier, bool secret) {
  State& state = TheState();
  if (secret || !state.publicRing || !type || !identifier) return;
  rnp_key_handle_t found = nullptr;
  if (rnp_locate_key(state.publicRing.get(), type, identifier, &found) != RNP_SUCCESS || !found)
    return;
  rnp::Key key(found);
  bool primary = false;
  rnp_key_is_primary(found, &primary);
  char* fpr = nullptr;
  if ((primary ? rnp_key_get_fprint(found, &fpr) : rnp_key_get_primary_fprint(found, &fpr)) !=
      RNP_SUCCESS)
    return;
  rnp::Key whole = rnp::FindByFingerprint(state.publicRing.get(), rnp::Take(fpr));
  rnp::Output exported = rnp::MemoryOutput();
  if (!whole || !exported ||
      rnp_key_export(whole.get(), exported.get(), RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS) !=
          RNP_SUCCESS)
    return;
  const std::string bytes = rnp::MemoryBytes(exported.get());
  rnp::Input input = rnp::InputOfMemory(bytes.data(), bytes.size());
  if (input) rnp_import_keys(ffi, input.get(), RNP_LOAD_SAVE_PUBLIC_KEYS, nullptr);
}

void Describe(rnp_key_handle_t primary, KeyFile& file) {
  file.fingerprint = rnp::Take([&] {
    char* s = nullptr;
    rnp_key_get_fprint(primary, &s);
    return s;
  }());
  auto addKeyId = [&](rnp_key_handle_t key) {
    char* s = nullptr;
    if (rnp_key_get_keyid(key, &s) == RNP_SUCCESS) file.keyIds.push_back(rnp::Take(s));
  };
  addKeyId(primary);
  size_t count = 0;
  rnp_key_get_subkey_count(primary, &count);
  for (size_t i = 0; i < count; ++i) {
    rnp_key_handle_t sub = nullptr;
    if (rnp_key_get_subkey_at(primary, i, &sub) != RNP_SUCCESS) continue;
    rnp::Key owned(sub);
    addKeyId(sub);
  }
  count = 0;
  rnp_key_get_uid_count(primary, &count);
  for (size_t i = 0; i < count; ++i) {
    char* s = nullptr;
    if (rnp_key_get_uid_at(primary, i, &s) != RNP_SUCCESS) continue;
    std::string email = EmailOf(rnp::Take(s));
    if (!email.empty()) file.emails.push_back(email);
  }
}

// The ring of one primary key of a ring that holds several, with its
// subkeys and, when it has them, its secret parts.
rnp::Ffi RingOfOne(rnp_key_handle_t primary) {
  rnp::Output exported = rnp::MemoryOutput();
  if (!exported || rnp_key_export(primary, exported.get(),
                                  RNP_KEY_EXPORT_SECRET | RNP_KEY_EXPORT_SUBKEYS) != RNP_SUCCESS)
    return nullptr;
  std::string bytes = rnp::MemoryBytes(exported.get());
  rnp::Ffi ring = rnp::NewFfi();
  rnp::Input input = rnp::InputOfMemory(bytes.data(), bytes.size());
  const bool read = ring && input &&
                    rnp_import_keys(ring.get(), input.get(),
                                    RNP_LOAD_SAVE_PUBLIC_KEYS | RNP_LOAD_SAVE_SECRET_KEYS,
                                    nullptr) == RNP_SUCCESS;
  sodium_memzero(bytes.data(), bytes.size());
  return read ? std::move(ring) : nullptr;
}

bool HasAnySecret(rnp_key_handle_t primary) {
  bool any = false;
  rnp_key_have_secret(primary, &any);
  size_t count = 0;
  rnp_key_get_subkey_count(primary, &count);
  for (size_t i = 0; i < count && !any; ++i) {
    rnp_key_handle_t sub = nullptr;
    if (rnp_key_get_subkey_at(primary, i, &sub) != RNP_SUCCESS) continue;
    rnp::Key owned(sub);
    rnp_key_have_secret(sub, &any);
  }
  return any;
}

// One primary key of a file: its description, its public half into the
// public ring.
uint16_t LoadPrimary(State& state, bool secret, rnp_key_handle_t primary, KeyFile& entry) {
  const uint16_t damaged = secret ? kSecretKeyDamaged : kPublicKeyDamaged;
  Describe(primary, entry);
  if (secret && !HasAnySecret(primary)) return damaged;
  rnp::Output exported = rnp::MemoryOutput();
  if (!exported || rnp_key_export(primary, exported.get(),
                                  RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS) != RNP_SUCCESS)
    return damaged;
  const std::string publicBytes = rnp::MemoryBytes(exported.get());
  rnp::Input publicInput = rnp::InputOfMemory(publicBytes.data(), publicBytes.size());
  if (!state.publicRing) state.publicRing = rnp::NewFfi();
  if (!state.publicRing || !publicInput ||
      rnp_import_keys(state.publicRing.get(), publicInput.get(), RNP_LOAD_SAVE_PUBLIC_KEYS,
                      nullptr) != RNP_SUCCESS)
    return kCryptoFailure;
  return kOk;
}

// Reads one key file into one entry per primary key it holds (as
// "gpg --export A B" writes several): each entry its description, its
// public half in the public ring, and for a secret key a ring of its own.
void LoadKeyFile(State& state, bool secret, KeyFile file, std::vector<KeyFile>& entries) {
  const uint16_t damaged = secret ? kSecretKeyDamaged : kPublicKeyDamaged;
  std::string bytes;
  file.code = ReadFile(file.path, secret, bytes);
  rnp::Ffi ffi = file.code == kOk ? rnp::NewFfi() : nullptr;
  if (file.code == kOk) {
    rnp::Input input = rnp::InputOfMemory(bytes.data(), bytes.size());
    const uint32_t flags = RNP_LOAD_SAVE_PUBLIC_KEYS | (secret ? RNP_LOAD_SAVE_SECRET_KEYS : 0);
    if (!ffi || !input || rnp_import_keys(ffi.get(), input.get(), flags, nullptr) != RNP_SUCCESS)
      file.code = damaged;
  }
  sodium_memzero(bytes.data(), bytes.size());
  std::vector<rnp::Key> primaries =
      file.code == kOk ? Primaries(ffi.get()) : std::vector<rnp::Key>{};
  if (file.code == kOk && primaries.empty()) file.code = damaged;
  if (file.code != kOk) {
    entries.push_back(std::move(file));
    return;
  }
  const bool several = primaries.size() > 1;
  for (const rnp::Key& primary : primaries) {
    KeyFile entry;
    entry.id = file.id;
    entry.path = file.path;
    entry.code = LoadPrimary(state, secret, primary.get(), entry);
    if (entry.code == kOk && secret && several && !(entry.secret = RingOfOne(primary.get())))
      entry.code = damaged;
    if (entry.secret) rnp_ffi_set_key_provider(entry.secret.get(), ProvidePublicKey, nullptr);
    entries.push_back(std::move(entry));
  }
  primaries.clear();
  if (secret && !several && entries.back().code == kOk) {
    rnp_ffi_set_key_provider(ffi.get(), ProvidePublicKey, nullptr);
    entries.back().secret = std::move(ffi);
  }
}

std::vector<KeyFile> ReadFolder(State& state, const std::string& folder, bool secret) {
  std::vector<KeyFile> files;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return files;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    for (const char* suffix : kPgpSuffixes) {
      if (!EndsWith(name, suffix)) continue;
      auto id = platform::Utf8ToCp1251(name.substr(0, name.size() - std::strlen(suffix)));
      if (!id || !IsValidKeyId(*id)) continue;
      KeyFile file;
      file.id = *id;
      file.path = folder + (folder.back() == '/' ? "" : "/") + name;
      files.push_back(std::move(file));
    }
  }
  ::closedir(dir);
  std::sort(files.begin(), files.end(),
            [](const KeyFile& a, const KeyFile& b) { return a.path < b.path; });
  std::vector<KeyFile> entries;
  for (KeyFile& file : files) LoadKeyFile(state, secret, std::move(file), entries);
  return entries;
}

}  // namespace

std::unique_lock<std::mutex> Lock() {
  return std::unique_lock<std::mutex>(TheState().mutex);
}

const std::vector<KeyFile>& FolderKeys(const std::string& folder, bool secret) {
  State& state = TheState();
  struct stat st = {};
  ::stat(folder.c_str(), &st);
  auto [it, added] = state.folders.try_emplace({folder, secret});
  Folder& cached = it->second;
  if (added || cached.mtime.tv_sec != st.st_mtim.tv_sec ||
      cached.mtime.tv_nsec != st.st_mtim.tv_nsec) {
    cached.files = ReadFolder(state, folder, secret);
    cached.mtime = st.st_mtim;
  }
  return cached.files;
}

// The normalised search text of a lookup: a fingerprint or key ID in upper
// case without blanks and "0x", an e-mail address in lower case without
// angle brackets; empty when the identifier is none of these.
std::string LookupKey(const std::string& id) {
  if (id.empty() || id.size() > 255) return {};
  for (unsigned char c : id)
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return {};
  if (id.find('@') != std::string::npos) {
    std::string address = Lower(id);
    if (address.size() > 2 && address.front() == '<' && address.back() == '>')
      address = address.substr(1, address.size() - 2);
    return address.find(' ') == std::string::npos ? address : std::string();
  }
  std::string hex;
  for (char c : id)
    if (c != ' ') hex.push_back(c);
  if (hex.size() > 2 && (hex.compare(0, 2, "0x") == 0 || hex.compare(0, 2, "0X") == 0))
    hex.erase(0, 2);
  if (!IsHex(hex) || (hex.size() != 16 && hex.size() != 40 && hex.size() != 64)) return {};
  return Upper(hex);
}

bool IsLookupForm(const std::string& id) {
  return !LookupKey(id).empty();
}

std::string RotationBase(const std::string& fileId) {
  const size_t dot = fileId.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == fileId.size()) return fileId;
  for (size_t i = dot + 1; i < fileId.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(fileId[i]))) return fileId;
  return fileId.substr(0, dot);
}

std::vector<const KeyFile*> RotationKeys(const std::string& folder, bool secret,
                                         const std::string& id) {
  std::vector<const KeyFile*> keys;
  for (const KeyFile& file : FolderKeys(folder, secret))
    if (file.id == id || (file.id != RotationBase(file.id) && RotationBase(file.id) == id))
      keys.push_back(&file);
  return keys;
}

namespace {

// Of the files that serve one identifier, the newest usable one; else the
// newest readable one, whose code then says what is wrong. Keys made in one
// second are told apart by the number beside the name (none: the first).
const KeyFile* Newest(const std::vector<const KeyFile*>& files, bool secret) {
  const KeyFile* best = nullptr;
  std::tuple<bool, uint32_t, uint64_t> bestRank{};
  for (const KeyFile* file : files) {
    if (file->code != kOk) continue;
    rnp::Key primary = PrimaryOf(*file, secret);
    if (!primary) continue;
    const bool usable = CheckUsable(primary.get(), secret ? "sign" : "encrypt") == kOk;
    uint32_t created = 0;
    rnp_key_get_creation(primary.get(), &created);
    const std::string base = RotationBase(file->id);
    const uint64_t number =
        base == file->id ? 0 : 1 + std::stoull(file->id.substr(base.size() + 1).substr(0, 18));
    const std::tuple<bool, uint32_t, uint64_t> rank{usable, created, number};
    if (!best || rank > bestRank) {
      best = file;
      bestRank = rank;
    }
  }
  return best ? best : files.front();
}

}  // namespace

rnp::Key PrimaryOf(const KeyFile& file, bool secret) {
  if (file.code != kOk) return nullptr;
  return secret ? rnp::FindByFingerprint(file.secret.get(), file.fingerprint) : PublicKeyOf(file);
}

bool IsUsable(const KeyFile& file, bool secret) {
  rnp::Key primary = PrimaryOf(file, secret);
  return primary && CheckUsable(primary.get(), secret ? "sign" : "encrypt") == kOk;
}

uint16_t FindKey(const std::string& folder, bool secret, const std::string& id,
                 const KeyFile*& found, std::vector<std::string>* candidates) {
  found = nullptr;
  const uint16_t missing = secret ? kKeyNotFound : kPublicKeyMissing;
  const std::vector<KeyFile>& files = FolderKeys(folder, secret);
  std::vector<const KeyFile*> matches;
  std::vector<std::string> paths;
  for (const KeyFile& file : files) {
    if (file.id != id) continue;
    matches.push_back(&file);
    if (std::find(paths.begin(), paths.end(), file.path) == paths.end()) paths.push_back(file.path);
  }
  if (paths.size() <= 1) {
    // The keys of the identifier's own file, those beside it, or those left
    // when its own file was retired.
    const std::vector<const KeyFile*> serving = RotationKeys(folder, secret, id);
    if (!serving.empty()) {
      found = Newest(serving, secret);
      return found->code;
    }
  }
  const std::string wanted = matches.empty() ? LookupKey(id) : std::string();
  if (!wanted.empty()) {
    const bool email = wanted.find('@') != std::string::npos;
    const bool fingerprint = !email && wanted.size() != 16;
    const bool keyId = !email && wanted.size() == 16;
    for (const KeyFile& file : files) {
      if (file.fingerprint.empty()) continue;
      const bool match =
          (fingerprint && file.fingerprint == wanted) ||
          (keyId &&
           std::find(file.keyIds.begin(), file.keyIds.end(), wanted) != file.keyIds.end()) ||
          (email && std::find(file.emails.begin(), file.emails.end(), wanted) != file.emails.end());
      if (match) matches.push_back(&file);
    }
  }
  if (matches.empty()) return missing;
  const auto sameIdentifier = [&](const KeyFile* file) {
    return RotationBase(file->id) == RotationBase(matches[0]->id);
  };
  if (matches.size() > 1 && std::all_of(matches.begin(), matches.end(), sameIdentifier)) {
    // The old and the new key of one identifier share the partner's address.
    found = Newest(matches, secret);
    return found->code;
  }
  if (matches.size() > 1) {
    if (candidates)
      for (const KeyFile* file : matches) candidates->push_back(file->id);
    return kAmbiguousKey;
  }
  found = matches[0];
  return found->code;
}

std::vector<ListedKey> ListKeysBothWays(const std::string& folder) {
  const std::vector<KeyFile>& secrets = FolderKeys(folder, true);
  const std::vector<KeyFile>& publics = FolderKeys(folder, false);
  std::vector<ListedKey> listed;
  for (size_t i = 0; i < publics.size();) {
    const std::string& path = publics[i].path;
    uint16_t secretCode = kSecretKeyDamaged;
    std::vector<const KeyFile*> ofPath;
    for (const KeyFile& file : secrets) {
      if (file.path != path) continue;
      ofPath.push_back(&file);
      secretCode = file.code;
      if (file.code != kOk) break;
    }
    if (secretCode == kOk) {
      for (const KeyFile* file : ofPath) listed.push_back({file, true, kOk});
    } else {
      for (size_t j = i; j < publics.size() && publics[j].path == path; ++j)
        listed.push_back({&publics[j], false, secretCode});
    }
    while (i < publics.size() && publics[i].path == path) ++i;
  }
  return listed;
}

rnp_ffi_t PublicRing() {
  State& state = TheState();
  if (!state.publicRing) state.publicRing = rnp::NewFfi();
  return state.publicRing.get();
}

rnp::Key PublicKeyOf(const KeyFile& file) {
  return rnp::FindByFingerprint(PublicRing(), file.fingerprint);
}

void ForgetSecretKeys() {
  State& state = TheState();
  for (auto it = state.folders.begin(); it != state.folders.end();) {
    if (it->first.second)
      it = state.folders.erase(it);
    else
      ++it;
  }
}

bool IsWeakKey(rnp_key_handle_t key) {
  const std::string alg = rnp::Take([&] {
    char* s = nullptr;
    rnp_key_get_alg(key, &s);
    return s;
  }());
  if (alg != RNP_ALGNAME_RSA && alg != RNP_ALGNAME_DSA && alg != RNP_ALGNAME_ELGAMAL) return false;
  uint32_t bits = 0;
  return rnp_key_get_bits(key, &bits) != RNP_SUCCESS || bits < 2048;
}

namespace {

enum class Fitness { kFit, kWeak, kSpent, kUnfit };

// Whether one key (primary or subkey) can do the usage now.
Fitness Judge(rnp_key_handle_t key, const char* usage) {
  bool allowed = false;
  if (rnp_key_allows_usage(key, usage, &allowed) != RNP_SUCCESS || !allowed) return Fitness::kUnfit;
  bool revoked = false, expired = false, valid = false;
  rnp_key_is_revoked(key, &revoked);
  rnp_key_is_expired(key, &expired);
  rnp_key_is_valid(key, &valid);
  if (revoked || expired || !valid) return Fitness::kSpent;
  return IsWeakKey(key) ? Fitness::kWeak : Fitness::kFit;
}

}  // namespace

uint16_t CheckUsable(rnp_key_handle_t primary, const char* usage) {
  bool revoked = false, expired = false, valid = false;
  rnp_key_is_revoked(primary, &revoked);
  rnp_key_is_expired(primary, &expired);
  if (revoked || expired) return kKeyExpiredOrRevoked;
  if (rnp_key_is_valid(primary, &valid) != RNP_SUCCESS || !valid) return kPublicKeyDamaged;
  if (IsWeakKey(primary)) return kWeakMaterial;
  std::vector<Fitness> seen = {Judge(primary, usage)};
  size_t count = 0;
  rnp_key_get_subkey_count(primary, &count);
  for (size_t i = 0; i < count; ++i) {
    rnp_key_handle_t sub = nullptr;
    if (rnp_key_get_subkey_at(primary, i, &sub) != RNP_SUCCESS) continue;
    rnp::Key owned(sub);
    seen.push_back(Judge(sub, usage));
  }
  auto any = [&](Fitness f) { return std::find(seen.begin(), seen.end(), f) != seen.end(); };
  if (any(Fitness::kFit)) return kOk;
  if (any(Fitness::kWeak)) return kWeakMaterial;
  if (any(Fitness::kSpent)) return kKeyExpiredOrRevoked;
  return kKeyCapabilityMissing;
}

namespace {

constexpr unsigned char kBlockMagic[8] = {'O', 'R', 'L', 'A', 'K', 'P', 'G', 'P'};
constexpr size_t kBlockIdAt = 9;
constexpr size_t kBlockFprLengthAt = 23;
constexpr size_t kBlockFprAt = 24;
constexpr size_t kBlockFprMax = 32;
constexpr size_t kBlockSumAt = 152;

void BlockSum(const unsigned char* block, unsigned char* sum) {
  crypto_generichash(sum, 32, block, kBlockSumAt, nullptr, 0);
}

}  // namespace

void EncodeKeyBlock(const KeyFile& file, unsigned char* block) {
  std::memset(block, 0, kKeyBlockSize);
  std::memcpy(block, kBlockMagic, sizeof kBlockMagic);
  block[8] = 1;
  PutKeyIdField(block + kBlockIdAt, file.id);
  std::string fpr;
  for (size_t i = 0; i + 1 < file.fingerprint.size() && fpr.size() < kBlockFprMax; i += 2)
    fpr.push_back(static_cast<char>(std::stoi(file.fingerprint.substr(i, 2), nullptr, 16)));
  block[kBlockFprLengthAt] = static_cast<unsigned char>(fpr.size());
  std::memcpy(block + kBlockFprAt, fpr.data(), fpr.size());
  BlockSum(block, block + kBlockSumAt);
}

bool IsKeyBlock(const unsigned char* block) {
  return std::memcmp(block, kBlockMagic, sizeof kBlockMagic) == 0;
}

uint16_t ParseKeyBlock(const unsigned char* block, std::string& id, std::string& fingerprint) {
  unsigned char sum[32];
  BlockSum(block, sum);
  if (!IsKeyBlock(block) || block[8] != 1 || sodium_memcmp(sum, block + kBlockSumAt, 32) != 0 ||
      !GetKeyIdField(block + kBlockIdAt, id))
    return kPublicKeyDamaged;
  const size_t length = block[kBlockFprLengthAt];
  if (length != 20 && length != 32) return kPublicKeyDamaged;
  for (size_t i = kBlockFprAt + length; i < kBlockSumAt; ++i)
    if (block[i] != 0) return kPublicKeyDamaged;
  for (size_t i = kBlockSumAt + 32; i < kKeyBlockSize; ++i)
    if (block[i] != 0) return kPublicKeyDamaged;
  static const char kHex[] = "0123456789ABCDEF";
  fingerprint.clear();
  for (size_t i = 0; i < length; ++i) {
    fingerprint.push_back(kHex[block[kBlockFprAt + i] >> 4]);
    fingerprint.push_back(kHex[block[kBlockFprAt + i] & 15]);
  }
  return kOk;
}

}  // namespace orlak::pgp
