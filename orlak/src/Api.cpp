// The exported C functions: argument checks, key loading from the folders
// given at initialisation, and the translation of every failure, exceptions
// included, into a result code.
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "Codes.h"
#include "EncFormat.h"
#include "Encryption.h"
#include "Files.h"
#include "KeyFacts.h"
#include "KeyId.h"
#include "KeyStore.h"
#include "Keys.h"
#include "KeysUsed.h"
#include "Library.h"
#include "PgpKeys.h"
#include "PgpOps.h"
#include "Signing.h"
#include "orlak.h"

using namespace orlak;

static_assert(sizeof(OrlakSignRecord) == ORLAK_SIGN_RECORD_SIZE);
static_assert(ORLAK_KEY_BLOCK_SIZE == kKeyBlockSize);
static_assert(ORLAK_KEY_USABLE == static_cast<int>(KeyCondition::kUsable) &&
              ORLAK_KEY_EXPIRED == static_cast<int>(KeyCondition::kExpired) &&
              ORLAK_KEY_REVOKED == static_cast<int>(KeyCondition::kRevoked) &&
              ORLAK_KEY_WEAK == static_cast<int>(KeyCondition::kWeak) &&
              ORLAK_KEY_REFUSED == static_cast<int>(KeyCondition::kRefused));

namespace {

template <typename F>
uint16_t Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kCryptoFailure;
  }
}

bool HasText(const char* s) {
  return s && *s;
}

// An identifier argument: a key file's name, or for OpenPGP keys also a
// fingerprint, key ID or e-mail address (plain is false then).
bool IdFromArgument(const char* arg, std::string& id, bool& plain) {
  plain = KeyIdFromArgument(arg, id);
  if (plain) return true;
  if (!arg || !pgp::IsLookupForm(arg)) return false;
  id = arg;
  return true;
}

// Whether a liborlak secret key file exists for the identifier (whatever
// state it is in).
bool HasOwnSecretKey(const std::string& folder, const std::string& id, bool plain) {
  return plain && SecretKeyFileExists(folder, id);
}

bool IsOwnEncryptedFile(InputFile& in) {
  static const char kMark[8] = {'O', 'R', 'L', 'A', 'K', 'E', 'N', 'C'};
  char head[sizeof kMark];
  return in.Size() >= sizeof head && in.ReadAt(0, head, sizeof head) &&
         std::memcmp(head, kMark, sizeof kMark) == 0;
}

uint16_t CheckCommon(const char* file, uint8_t* count, OrlakSignRecord** records,
                     const char* separateFile, bool separate) {
  if (count) *count = 0;
  if (records) *records = nullptr;
  ForgetKeysUsed();
  KeyFolders folders;
  if (!PartFolders(Part::kSign, folders)) return kNotInitialised;
  if (!HasText(file) || !count || !records) return kBadParameter;
  if (separate && !HasText(separateFile)) return kBadParameter;
  std::string separatePath = separate ? NativePath(separateFile) : std::string();
  std::vector<SignatureReport> reports;
  // Opened once: each format looks at the same file.
  InputFile in;
  uint16_t code = in.Open(NativePath(file));
  if (code != kOk) return code;
  if (separate ? pgp::IsPgp(pgp::ClassifyFile(separatePath)) : false) {
    auto lock = pgp::Lock();
    code = pgp::CheckSignatures(in, &separatePath, folders.publicFolder, reports);
  } else {
    code = CheckSignatures(in, separate ? &separatePath : nullptr, folders.publicFolder, reports);
    if (code == kNotSigned && !separate && pgp::IsPgp(pgp::Classify(in))) {
      auto lock = pgp::Lock();
      code = pgp::CheckSignatures(in, nullptr, folders.publicFolder, reports);
    }
  }
  if (code != kOk) return code;
  OrlakSignRecord* array = NewRecords(reports.size());
  for (size_t i = 0; i < reports.size(); ++i) {
    std::memcpy(array[i].Bytes, reports[i].id.data(), reports[i].id.size());
    array[i].Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET] = reports[i].status;
  }
  *count = static_cast<uint8_t>(reports.size());
  *records = array;
  return kOk;
}

}  // namespace

extern "C" {

ORLAK_API uint16_t ORLAK_CALL SignInit(const char* secKeysFolder, const char* pubKeysFolder) {
  return Guarded([&] { return OpenPart(Part::kSign, secKeysFolder, pubKeysFolder); });
}

ORLAK_API uint16_t ORLAK_CALL CryptoInit(const char* secKeysFolder, const char* pubKeysFolder) {
  return Guarded([&] { return OpenPart(Part::kCrypto, secKeysFolder, pubKeysFolder); });
}

ORLAK_API uint16_t ORLAK_CALL CryptoDone(void) {
  return Guarded([] { return ClosePart(Part::kCrypto); });
}

ORLAK_API uint16_t ORLAK_CALL SignDone(void) {
  return Guarded([] { return ClosePart(Part::kSign); });
}

ORLAK_API uint16_t ORLAK_CALL SignFile(const char* inputFile, const char* outputFile,
                                       const char* keyId) {
  return Guarded([&]() -> uint16_t {
    KeyFolders folders;
    ForgetKeysUsed();
    if (!PartFolders(Part::kSign, folders)) return kNotInitialised;
    std::string id;
    bool plain = false;
    if (!HasText(inputFile) || !HasText(outputFile) || !IdFromArgument(keyId, id, plain))
      return kBadParameter;
    if (plain) {
      SecretKey key;
      uint16_t code = LoadSecretKey(folders.secretFolder, id, key);
      if (code == kOk) return orlak::SignFile(NativePath(inputFile), NativePath(outputFile), key);
      if (code != kKeyNotFound) return code;
    }
    auto lock = pgp::Lock();
    const pgp::KeyFile* signer = nullptr;
    uint16_t code = pgp::FindKey(folders.secretFolder, true, id, signer);
    if (code != kOk) return code;
    code = pgp::SignFile(NativePath(inputFile), NativePath(outputFile), *signer);
    if (code == kOk) NoteKeyUsed(folders.secretFolder, true, *signer);
    return code;
  });
}

ORLAK_API uint16_t ORLAK_CALL check_file_sign(const char* file, uint8_t* count,
                                              OrlakSignRecord** records) {
  return Guarded([&] { return CheckCommon(file, count, records, nullptr, false); });
}

ORLAK_API uint16_t ORLAK_CALL CheckFileSeparate(const char* file, uint8_t* count,
                                                OrlakSignRecord** records,
                                                const char* signatureFile) {
  return Guarded([&] { return CheckCommon(file, count, records, signatureFile, true); });
}

ORLAK_API uint16_t ORLAK_CALL FreeMemory(OrlakSignRecord* records) {
  return Guarded([&]() -> uint16_t {
    if (!records) return kOk;
    return ReleaseRecords(records) ? kOk : kBadParameter;
  });
}

ORLAK_API uint16_t ORLAK_CALL DelSign(const char* file, uint8_t count) {
  return Guarded([&]() -> uint16_t {
    ForgetKeysUsed();
    KeyFolders folders;
    if (!PartFolders(Part::kSign, folders)) return kNotInitialised;
    if (!HasText(file)) return kBadParameter;
    const std::string path = NativePath(file);
    // Opened once, for update: the own format cuts its signatures off in place.
    InputFile in;
    uint16_t code = in.Open(path, true);
    if (code != kOk) return code;
    code = DeleteSignatures(in, count);
    if (code == kNotSigned && pgp::IsPgp(pgp::Classify(in))) {
      auto lock = pgp::Lock();
      code = pgp::DeleteSignatures(in, path, count);
    }
    return code;
  });
}

ORLAK_API uint16_t ORLAK_CALL EnCryptFileEx(const char* inputFile, const char* outputFile,
                                            const char* senderKeyId,
                                            const void* const* receiverKeyBlocks,
                                            uint16_t receiverCount, uint32_t reserved) {
  return Guarded([&]() -> uint16_t {
    KeyFolders folders;
    ForgetKeysUsed();
    if (!PartFolders(Part::kCrypto, folders)) return kNotInitialised;
    std::string senderId;
    bool plain = false;
    if (!HasText(inputFile) || !HasText(outputFile) ||
        !IdFromArgument(senderKeyId, senderId, plain))
      return kBadParameter;
    if (reserved != 0 || receiverCount == 0 || !receiverKeyBlocks || receiverCount > kMaxReceivers)
      return kBadParameter;
    std::vector<PublicKey> receivers;
    std::vector<std::string> pgpReceivers, pgpReceiverIds;
    for (uint16_t i = 0; i < receiverCount; ++i) {
      if (!receiverKeyBlocks[i]) return kBadParameter;
      const auto* block = static_cast<const unsigned char*>(receiverKeyBlocks[i]);
      uint16_t code;
      if (pgp::IsKeyBlock(block)) {
        std::string id, fingerprint;
        code = pgp::ParseKeyBlock(block, id, fingerprint);
        pgpReceivers.push_back(fingerprint);
        pgpReceiverIds.push_back(id);
      } else {
        code = ParseKeyBlock(block, receivers.emplace_back());
      }
      if (code != kOk) return code;
    }
    // The receivers' keys decide the format; one step never mixes them.
    if (!pgpReceivers.empty() && !receivers.empty()) return kMixedFormats;
    if (pgpReceivers.empty()) {
      if (!plain) return kBadParameter;
      SecretKey sender;
      uint16_t code = LoadSecretKey(folders.secretFolder, senderId, sender);
      if (code == kKeyNotFound) {
        auto lock = pgp::Lock();
        const pgp::KeyFile* pgpSender = nullptr;
        if (pgp::FindKey(folders.secretFolder, true, senderId, pgpSender) != kKeyNotFound)
          return kMixedFormats;
      }
      if (code != kOk) return code;
      return EncryptFile(NativePath(inputFile), NativePath(outputFile), sender, receivers);
    }
    if (HasOwnSecretKey(folders.secretFolder, senderId, plain)) return kMixedFormats;
    auto lock = pgp::Lock();
    const pgp::KeyFile* sender = nullptr;
    uint16_t code = pgp::FindKey(folders.secretFolder, true, senderId, sender);
    if (code != kOk) return code;
    code = pgp::EncryptFile(NativePath(inputFile), NativePath(outputFile), *sender, pgpReceivers);
    if (code == kOk) {
      NoteKeyUsed(folders.secretFolder, true, *sender);
      for (size_t i = 0; i < pgpReceivers.size(); ++i)
        NoteKeyUsed(folders.publicFolder, pgpReceiverIds[i], pgpReceivers[i]);
    }
    return code;
  });
}

ORLAK_API uint16_t ORLAK_CALL DeCryptFileEx(const char* inputFile, const char* outputFile,
                                            const char* receiverKeyId, const void* senderKeyBlock) {
  return Guarded([&]() -> uint16_t {
    KeyFolders folders;
    ForgetKeysUsed();
    if (!PartFolders(Part::kCrypto, folders)) return kNotInitialised;
    std::string receiverId;
    bool plain = false;
    if (!HasText(inputFile) || !HasText(outputFile) ||
        !IdFromArgument(receiverKeyId, receiverId, plain) || !senderKeyBlock)
      return kBadParameter;
    const auto* block = static_cast<const unsigned char*>(senderKeyBlock);
    const std::string input = NativePath(inputFile);
    PublicKey sender;
    // The input decides the format; the keys named must be of the same.
    InputFile in;
    uint16_t code = in.Open(input);
    if (code != kOk) return code;
    const pgp::Kind kind = pgp::Classify(in);
    if (pgp::IsPgp(kind)) {
      if (!pgp::IsKeyBlock(block))
        return ParseKeyBlock(block, sender) == kOk ? kMixedFormats : kPublicKeyDamaged;
      std::string senderId, fingerprint;
      if ((code = pgp::ParseKeyBlock(block, senderId, fingerprint)) != kOk) return code;
      if (HasOwnSecretKey(folders.secretFolder, receiverId, plain)) return kMixedFormats;
      auto lock = pgp::Lock();
      const pgp::KeyFile* receiver = nullptr;
      if ((code = pgp::FindKey(folders.secretFolder, true, receiverId, receiver)) != kOk)
        return code;
      const std::string output = NativePath(outputFile);
      const pgp::KeyFile* opened = receiver;
      code = pgp::DecryptFile(in, kind, output, *receiver);
      // While an identifier rotates, files addressed to its other keys arrive too.
      for (const pgp::KeyFile* other : pgp::RotationKeys(folders.secretFolder, true, receiverId)) {
        if (code != kNotAddressed) break;
        if (other != receiver && other->code == kOk)
          code = pgp::DecryptFile(in, kind, output, *(opened = other));
      }
      if (code == kOk) NoteKeyUsed(folders.secretFolder, true, *opened);
      return code;
    }
    if (pgp::IsKeyBlock(block)) return IsOwnEncryptedFile(in) ? kMixedFormats : kNotEncrypted;
    if (!plain) return kBadParameter;
    code = ParseKeyBlock(block, sender);
    if (code != kOk) return code;
    SecretKey receiver;
    code = LoadSecretKey(folders.secretFolder, receiverId, receiver);
    if (code != kOk) return code;
    return DecryptFile(input, NativePath(outputFile), receiver, sender);
  });
}

ORLAK_API uint16_t ORLAK_CALL ExtractKey(const char* pubKeysFolder, const char* keyId,
                                         void* keyBlock) {
  return Guarded([&]() -> uint16_t {
    // A block is never left holding stale or undefined bytes: callers keep
    // the blocks of failed extractions and may hand them on.
    if (keyBlock) std::memset(keyBlock, 0, ORLAK_KEY_BLOCK_SIZE);
    KeyFolders folders;
    if (!PartFolders(Part::kCrypto, folders)) return kNotInitialised;
    std::string id;
    bool plain = false;
    if (!HasText(pubKeysFolder) || !keyBlock || !IdFromArgument(keyId, id, plain))
      return kBadParameter;
    const std::string folder = NativePath(pubKeysFolder);
    if (!IsFolder(folder)) return kPublicFolderMissing;
    if (plain) {
      PublicKey key;
      unsigned char record[kPublicKeyFileSize];
      uint16_t code = LoadPublicKey(folder, id, key, record);
      if (code == kOk) EncodeKeyBlock(record, static_cast<unsigned char*>(keyBlock));
      if (code != kPublicKeyMissing) return code;
    }
    auto lock = pgp::Lock();
    const pgp::KeyFile* key = nullptr;
    uint16_t code = pgp::FindKey(folder, false, id, key);
    if (code != kOk) return code;
    pgp::EncodeKeyBlock(*key, static_cast<unsigned char*>(keyBlock));
    return kOk;
  });
}

ORLAK_API uint16_t ORLAK_CALL GetKeyState(const char* folder, const char* keyId, uint8_t secret,
                                          OrlakKeyState* state) {
  return Guarded([&]() -> uint16_t {
    if (state) std::memset(state, 0, sizeof *state);
    std::string id;
    bool plain = false;
    if (!HasText(folder) || !state || !IdFromArgument(keyId, id, plain)) return kBadParameter;
    const std::string native = NativePath(folder);
    if (!IsFolder(native)) return secret ? kSecretFolderMissing : kPublicFolderMissing;
    KeyFacts facts;
    const uint16_t code = FindKeyFacts(native, secret != 0, id, std::time(nullptr), facts);
    if (code != kOk) return code;
    state->Created = facts.created;
    state->Expires = facts.expires;
    state->Condition = static_cast<uint8_t>(facts.condition);
    state->CanSign = facts.canSign;
    state->CanEncrypt = facts.canEncrypt;
    state->Format = facts.format == "openpgp" ? ORLAK_KEY_FORMAT_OPENPGP : ORLAK_KEY_FORMAT_ORLAK;
    std::strncpy(state->Fingerprint, facts.fingerprint.c_str(), sizeof state->Fingerprint - 1);
    return kOk;
  });
}

}  // extern "C"

namespace {

// A text handed out zero-terminated; needed tells the size it takes.
uint16_t HandOut(const std::string& value, char* text, uint32_t size, uint32_t* needed) {
  if (needed) *needed = static_cast<uint32_t>(value.size() + 1);
  if (!text || size < value.size() + 1) return kBadParameter;
  std::memcpy(text, value.c_str(), value.size() + 1);
  return kOk;
}

}  // namespace

ORLAK_API uint16_t ORLAK_CALL GetKeysUsed(char* text, uint32_t size, uint32_t* needed) {
  return Guarded([&] { return HandOut(KeysUsedText(), text, size, needed); });
}

ORLAK_API uint16_t ORLAK_CALL GetRefusalReason(char* text, uint32_t size, uint32_t* needed) {
  return Guarded([&] { return HandOut(RefusalText(), text, size, needed); });
}
