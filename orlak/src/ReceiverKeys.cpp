#include "ReceiverKeys.h"

#include <sodium.h>

#include <cstring>

#include "Bytes.h"
#include "Codes.h"

namespace orlak {
namespace {

// The same length for both versions.
constexpr char kDomainV1[] = "orlak pair v1";
constexpr char kDomainV2[] = "orlak pair v2";
static_assert(sizeof kDomainV1 == sizeof kDomainV2);
constexpr char kWrapContext[crypto_kdf_CONTEXTBYTES + 1] = "ORLKWRAP";
constexpr char kSealContext[crypto_kdf_CONTEXTBYTES + 1] = "ORLKSEAL";

}  // namespace

uint16_t DerivePairKeys(unsigned char version, const unsigned char* ourBoxSk,
                        const unsigned char* theirBoxPk, const unsigned char* senderBoxPk,
                        const unsigned char* receiverBoxPk, const unsigned char* salt,
                        uint16_t index, PairKeys& keys) {
  WipedBytes<crypto_scalarmult_BYTES + crypto_kdf_KEYBYTES> material;
  unsigned char* shared = material.data();
  unsigned char* master = material.data() + crypto_scalarmult_BYTES;
  // Fails for a point of small order, which would make the secret known.
  if (crypto_scalarmult(shared, ourBoxSk, theirBoxPk) != 0) return kPublicKeyDamaged;

  // As the scalarmult documentation advises: never use the raw result as a
  // key, hash it with both public keys.
  crypto_generichash_state state;
  WipeOnExit<crypto_generichash_state> wipe(state);
  unsigned char position[2];
  PutU16(position, index);
  crypto_generichash_init(&state, nullptr, 0, crypto_kdf_KEYBYTES);
  const char* domain = version == kEncVersion1 ? kDomainV1 : kDomainV2;
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(domain),
                            sizeof kDomainV1 - 1);
  crypto_generichash_update(&state, shared, crypto_scalarmult_BYTES);
  crypto_generichash_update(&state, senderBoxPk, crypto_scalarmult_BYTES);
  crypto_generichash_update(&state, receiverBoxPk, crypto_scalarmult_BYTES);
  crypto_generichash_update(&state, salt, kSaltSize);
  crypto_generichash_update(&state, position, sizeof position);
  crypto_generichash_final(&state, master, crypto_kdf_KEYBYTES);

  crypto_kdf_derive_from_key(keys.wrap(), 32, 1, kWrapContext, master);
  crypto_kdf_derive_from_key(keys.seal(), crypto_onetimeauth_KEYBYTES, 2, kSealContext, master);
  return kOk;
}

void WrapAssociatedData(const unsigned char* headerFixed, const unsigned char* entryKeyPart,
                        unsigned char* out) {
  std::memcpy(out, headerFixed, kHeaderFixedSize);
  std::memcpy(out + kHeaderFixedSize, entryKeyPart, kEntryKeyPartSize);
}

}  // namespace orlak
