// The exported C functions: argument checks, key loading from the folders
// given at initialisation, and the translation of every failure, exceptions
// included, into a result code.
#include <cstring>
#include <new>
#include <vector>

#include "Codes.h"
#include "EncFormat.h"
#include "Encryption.h"
#include "Files.h"
#include "KeyId.h"
#include "KeyStore.h"
#include "Keys.h"
#include "Library.h"
#include "Signing.h"
#include "orlak.h"

using namespace orlak;

static_assert(sizeof(OrlakSignRecord) == ORLAK_SIGN_RECORD_SIZE);
static_assert(ORLAK_KEY_BLOCK_SIZE == kKeyBlockSize);

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

uint16_t CheckCommon(const char* file, uint8_t* count, OrlakSignRecord** records,
                     const char* separateFile, bool separate) {
  if (count) *count = 0;
  if (records) *records = nullptr;
  KeyFolders folders;
  if (!PartFolders(Part::kSign, folders)) return kNotInitialised;
  if (!HasText(file) || !count || !records) return kBadParameter;
  if (separate && !HasText(separateFile)) return kBadParameter;
  std::string separatePath = separate ? NativePath(separateFile) : std::string();
  std::vector<SignatureReport> reports;
  uint16_t code = CheckSignatures(NativePath(file), separate ? &separatePath : nullptr,
                                  folders.publicFolder, reports);
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
    if (!PartFolders(Part::kSign, folders)) return kNotInitialised;
    std::string id;
    if (!HasText(inputFile) || !HasText(outputFile) || !KeyIdFromArgument(keyId, id))
      return kBadParameter;
    SecretKey key;
    uint16_t code = LoadSecretKey(folders.secretFolder, id, key);
    if (code != kOk) return code;
    return orlak::SignFile(NativePath(inputFile), NativePath(outputFile), key);
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
    KeyFolders folders;
    if (!PartFolders(Part::kSign, folders)) return kNotInitialised;
    if (!HasText(file)) return kBadParameter;
    return DeleteSignatures(NativePath(file), count);
  });
}

ORLAK_API uint16_t ORLAK_CALL EnCryptFileEx(const char* inputFile, const char* outputFile,
                                            const char* senderKeyId,
                                            const void* const* receiverKeyBlocks,
                                            uint16_t receiverCount, uint32_t reserved) {
  return Guarded([&]() -> uint16_t {
    KeyFolders folders;
    if (!PartFolders(Part::kCrypto, folders)) return kNotInitialised;
    std::string senderId;
    if (!HasText(inputFile) || !HasText(outputFile) || !KeyIdFromArgument(senderKeyId, senderId))
      return kBadParameter;
    if (reserved != 0 || receiverCount == 0 || !receiverKeyBlocks || receiverCount > kMaxReceivers)
      return kBadParameter;
    std::vector<PublicKey> receivers(receiverCount);
    for (uint16_t i = 0; i < receiverCount; ++i) {
      if (!receiverKeyBlocks[i]) return kBadParameter;
      uint16_t code =
          ParseKeyBlock(static_cast<const unsigned char*>(receiverKeyBlocks[i]), receivers[i]);
      if (code != kOk) return code;
    }
    SecretKey sender;
    uint16_t code = LoadSecretKey(folders.secretFolder, senderId, sender);
    if (code != kOk) return code;
    return EncryptFile(NativePath(inputFile), NativePath(outputFile), sender, receivers);
  });
}

ORLAK_API uint16_t ORLAK_CALL DeCryptFileEx(const char* inputFile, const char* outputFile,
                                            const char* receiverKeyId, const void* senderKeyBlock) {
  return Guarded([&]() -> uint16_t {
    KeyFolders folders;
    if (!PartFolders(Part::kCrypto, folders)) return kNotInitialised;
    std::string receiverId;
    if (!HasText(inputFile) || !HasText(outputFile) ||
        !KeyIdFromArgument(receiverKeyId, receiverId) || !senderKeyBlock)
      return kBadParameter;
    PublicKey sender;
    uint16_t code = ParseKeyBlock(static_cast<const unsigned char*>(senderKeyBlock), sender);
    if (code != kOk) return code;
    SecretKey receiver;
    code = LoadSecretKey(folders.secretFolder, receiverId, receiver);
    if (code != kOk) return code;
    return DecryptFile(NativePath(inputFile), NativePath(outputFile), receiver, sender);
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
    if (!HasText(pubKeysFolder) || !keyBlock || !KeyIdFromArgument(keyId, id)) return kBadParameter;
    const std::string folder = NativePath(pubKeysFolder);
    if (!IsFolder(folder)) return kPublicFolderMissing;
    PublicKey key;
    unsigned char record[kPublicKeyFileSize];
    uint16_t code = LoadPublicKey(folder, id, key, record);
    if (code != kOk) return code;
    EncodeKeyBlock(record, static_cast<unsigned char*>(keyBlock));
    return kOk;
  });
}

}  // extern "C"
