// Key pairs and their three encodings: the public key file, the secret key
// file and the 304-byte key block handed between ExtractKey and the encryption
// calls. Layouts are in FORMAT.md.
#pragma once

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Secret.h"

namespace orlak {

inline constexpr size_t kPublicKeyFileSize = 152;
inline constexpr size_t kSecretKeyFileSize = 120;
inline constexpr size_t kKeyBlockSize = 304;

struct PublicKey {
  std::string id;
  unsigned char signPk[crypto_sign_PUBLICKEYBYTES] = {};
  unsigned char boxPk[crypto_scalarmult_BYTES] = {};
};

// A key pair; the secret halves live in guarded memory wiped on destruction.
class SecretKey {
 public:
  SecretKey() : secret_(crypto_sign_SECRETKEYBYTES + crypto_scalarmult_SCALARBYTES) {}
  PublicKey pub;
  unsigned char* signSk() { return secret_.data(); }
  const unsigned char* signSk() const { return secret_.data(); }
  unsigned char* boxSk() { return secret_.data() + crypto_sign_SECRETKEYBYTES; }
  const unsigned char* boxSk() const { return secret_.data() + crypto_sign_SECRETKEYBYTES; }

 private:
  SecretBuffer secret_;
};

// A fresh Ed25519 signing pair and X25519 key-agreement pair.
void GenerateKeyPair(std::string_view id, SecretKey& key);

// out holds kSecretKeyFileSize bytes; keep it in secret memory.
void EncodeSecretKeyFile(const SecretKey& key, unsigned char* out);
// kSecretKeyDamaged unless the bytes are a sound secret key file; when
// expectedId is not empty the stored identifier must equal it.
uint16_t ParseSecretKeyFile(const unsigned char* data, size_t size, std::string_view expectedId,
                            SecretKey& key);

// out holds kPublicKeyFileSize bytes, self-signed with the key's signing key.
void EncodePublicKeyFile(const SecretKey& key, unsigned char* out);
// kPublicKeyDamaged unless the bytes are a sound, correctly self-signed
// public key file (with the expected identifier when one is given).
uint16_t ParsePublicKeyFile(const unsigned char* data, size_t size, std::string_view expectedId,
                            PublicKey& key);

// record is a public key file already checked by ParsePublicKeyFile.
void EncodeKeyBlock(const unsigned char* record, unsigned char* block);
// kPublicKeyDamaged unless the 304 bytes are a key block made by EncodeKeyBlock.
uint16_t ParseKeyBlock(const unsigned char* block, PublicKey& key);

// A short hex digest of both public keys, for comparing keys by eye.
std::string Fingerprint(const PublicKey& key);

}  // namespace orlak
