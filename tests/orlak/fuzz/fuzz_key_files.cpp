// The key file and key block parsers on arbitrary bytes: no crash, and an
// accepted key encodes back to the bytes it came from.
#include <sodium.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Codes.h"
#include "KeyId.h"
#include "Keys.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return sodium_init() < 0 ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orlak::PublicKey pub;
  if (orlak::ParsePublicKeyFile(data, size, {}, pub) == orlak::kOk) {
    Require(size == orlak::kPublicKeyFileSize && orlak::IsValidKeyId(pub.id));
    unsigned char block[orlak::kKeyBlockSize];
    orlak::EncodeKeyBlock(data, block);
    orlak::PublicKey fromBlock;
    Require(orlak::ParseKeyBlock(block, fromBlock) == orlak::kOk);
    Require(std::memcmp(fromBlock.signPk, pub.signPk, sizeof pub.signPk) == 0);
  }
  orlak::SecretKey secret;
  if (orlak::ParseSecretKeyFile(data, size, {}, secret) == orlak::kOk) {
    Require(size == orlak::kSecretKeyFileSize && orlak::IsValidKeyId(secret.pub.id));
    unsigned char again[orlak::kSecretKeyFileSize];
    orlak::EncodeSecretKeyFile(secret, again);
    Require(std::memcmp(again, data, size) == 0);
  }
  if (size >= orlak::kKeyBlockSize) {
    orlak::PublicKey fromBlock;
    if (orlak::ParseKeyBlock(data, fromBlock) == orlak::kOk)
      Require(orlak::IsValidKeyId(fromBlock.id));
  }
  return 0;
}
