#include "Keys.h"

#include <cstdio>
#include <cstring>

#include "Bytes.h"
#include "Codes.h"
#include "KeyId.h"

namespace orlak {
namespace {

constexpr unsigned char kPublicMagic[8] = {'O', 'R', 'L', 'A', 'K', 'P', 'U', 'B'};
constexpr unsigned char kSecretMagic[8] = {'O', 'R', 'L', 'A', 'K', 'S', 'E', 'C'};
constexpr unsigned char kVersion = 1;

// Offsets shared by both key files: magic, version, identifier, reserved byte.
constexpr size_t kKeyIdAt = 9;
constexpr size_t kReservedAt = kKeyIdAt + kKeyIdFieldSize;  // 23
constexpr size_t kKeysAt = 24;
// Public key file: signing key, agreement key, self-signature.
constexpr size_t kPubBoxAt = kKeysAt + crypto_sign_PUBLICKEYBYTES;      // 56
constexpr size_t kPubSignedSize = kPubBoxAt + crypto_scalarmult_BYTES;  // 88
static_assert(kPubSignedSize + crypto_sign_BYTES == kPublicKeyFileSize);
// Secret key file: signing seed, agreement secret, checksum.
constexpr size_t kSecBoxAt = kKeysAt + crypto_sign_SEEDBYTES;                 // 56
constexpr size_t kSecSummedSize = kSecBoxAt + crypto_scalarmult_SCALARBYTES;  // 88
static_assert(kSecSummedSize + 32 == kSecretKeyFileSize);
// Key block: the public key file, its checksum, zero padding.
constexpr size_t kBlockSumAt = kPublicKeyFileSize;
constexpr size_t kBlockPadAt = kBlockSumAt + 32;

void PutHeader(unsigned char* out, const unsigned char* magic, std::string_view id) {
  std::memcpy(out, magic, 8);
  out[8] = kVersion;
  PutKeyIdField(out + kKeyIdAt, id);
  out[kReservedAt] = 0;
}

bool HeaderOk(const unsigned char* in, const unsigned char* magic, std::string_view expectedId,
              std::string& id) {
  if (std::memcmp(in, magic, 8) != 0 || in[8] != kVersion || in[kReservedAt] != 0) return false;
  if (!GetKeyIdField(in + kKeyIdAt, id)) return false;
  return expectedId.empty() || id == expectedId;
}

void Checksum(unsigned char* out, const unsigned char* data, size_t size) {
  crypto_generichash(out, 32, data, size, nullptr, 0);
}

// A fixed key: an all-zero result of the agreement would make every shared
// secret with it predictable, so such keys are refused.
bool BoxKeyUsable(const unsigned char* boxPk) {
  unsigned char probe[crypto_scalarmult_SCALARBYTES];
  unsigned char shared[crypto_scalarmult_BYTES];
  randombytes_buf(probe, sizeof probe);
  bool ok = crypto_scalarmult(shared, probe, boxPk) == 0;
  sodium_memzero(probe, sizeof probe);
  sodium_memzero(shared, sizeof shared);
  return ok;
}

}  // namespace

void GenerateKeyPair(std::string_view id, SecretKey& key) {
  key.pub.id = std::string(id);
  crypto_sign_keypair(key.pub.signPk, key.signSk());
  crypto_box_keypair(key.pub.boxPk, key.boxSk());
}

void EncodeSecretKeyFile(const SecretKey& key, unsigned char* out) {
  PutHeader(out, kSecretMagic, key.pub.id);
  crypto_sign_ed25519_sk_to_seed(out + kKeysAt, key.signSk());
  std::memcpy(out + kSecBoxAt, key.boxSk(), crypto_scalarmult_SCALARBYTES);
  Checksum(out + kSecSummedSize, out, kSecSummedSize);
}

uint16_t ParseSecretKeyFile(const unsigned char* data, size_t size, std::string_view expectedId,
                            SecretKey& key) {
  if (size != kSecretKeyFileSize) return kSecretKeyDamaged;
  std::string id;
  if (!HeaderOk(data, kSecretMagic, expectedId, id)) return kSecretKeyDamaged;
  unsigned char sum[32];
  Checksum(sum, data, kSecSummedSize);
  if (sodium_memcmp(sum, data + kSecSummedSize, 32) != 0) return kSecretKeyDamaged;
  key.pub.id = id;
  if (crypto_sign_seed_keypair(key.pub.signPk, key.signSk(), data + kKeysAt) != 0)
    return kSecretKeyDamaged;
  std::memcpy(key.boxSk(), data + kSecBoxAt, crypto_scalarmult_SCALARBYTES);
  if (crypto_scalarmult_base(key.pub.boxPk, key.boxSk()) != 0) return kSecretKeyDamaged;
  return 0;
}

void EncodePublicKeyFile(const SecretKey& key, unsigned char* out) {
  PutHeader(out, kPublicMagic, key.pub.id);
  std::memcpy(out + kKeysAt, key.pub.signPk, crypto_sign_PUBLICKEYBYTES);
  std::memcpy(out + kPubBoxAt, key.pub.boxPk, crypto_scalarmult_BYTES);
  crypto_sign_detached(out + kPubSignedSize, nullptr, out, kPubSignedSize, key.signSk());
}

uint16_t ParsePublicKeyFile(const unsigned char* data, size_t size, std::string_view expectedId,
                            PublicKey& key) {
  if (size != kPublicKeyFileSize) return kPublicKeyDamaged;
  std::string id;
  if (!HeaderOk(data, kPublicMagic, expectedId, id)) return kPublicKeyDamaged;
  if (crypto_sign_verify_detached(data + kPubSignedSize, data, kPubSignedSize, data + kKeysAt) != 0)
    return kPublicKeyDamaged;
  if (!BoxKeyUsable(data + kPubBoxAt)) return kPublicKeyDamaged;
  key.id = id;
  std::memcpy(key.signPk, data + kKeysAt, crypto_sign_PUBLICKEYBYTES);
  std::memcpy(key.boxPk, data + kPubBoxAt, crypto_scalarmult_BYTES);
  return 0;
}

void EncodeKeyBlock(const unsigned char* record, unsigned char* block) {
  std::memset(block, 0, kKeyBlockSize);
  std::memcpy(block, record, kPublicKeyFileSize);
  Checksum(block + kBlockSumAt, block, kPublicKeyFileSize);
}

uint16_t ParseKeyBlock(const unsigned char* block, PublicKey& key) {
  // The record inside was verified by ExtractKey; the checksum catches blocks
  // that never were filled (a failed extraction) or were overwritten since.
  unsigned char sum[32];
  Checksum(sum, block, kPublicKeyFileSize);
  if (sodium_memcmp(sum, block + kBlockSumAt, 32) != 0) return kPublicKeyDamaged;
  if (!AllZero(block + kBlockPadAt, kKeyBlockSize - kBlockPadAt)) return kPublicKeyDamaged;
  std::string id;
  if (!HeaderOk(block, kPublicMagic, {}, id)) return kPublicKeyDamaged;
  key.id = id;
  std::memcpy(key.signPk, block + kKeysAt, crypto_sign_PUBLICKEYBYTES);
  std::memcpy(key.boxPk, block + kPubBoxAt, crypto_scalarmult_BYTES);
  return 0;
}

std::string Fingerprint(const PublicKey& key) {
  unsigned char both[crypto_sign_PUBLICKEYBYTES + crypto_scalarmult_BYTES];
  std::memcpy(both, key.signPk, crypto_sign_PUBLICKEYBYTES);
  std::memcpy(both + crypto_sign_PUBLICKEYBYTES, key.boxPk, crypto_scalarmult_BYTES);
  unsigned char digest[16];
  crypto_generichash(digest, sizeof digest, both, sizeof both, nullptr, 0);
  std::string text;
  char hex[3];
  for (size_t i = 0; i < sizeof digest; ++i) {
    if (i > 0 && i % 2 == 0) text += ' ';
    std::snprintf(hex, sizeof hex, "%02x", digest[i]);
    text += hex;
  }
  return text;
}

}  // namespace orlak
