// The keys one sender and one receiver share for one file: X25519 between
// their agreement keys, hashed with both public keys, the file's salt and the
// entry's position, then split into a key that wraps the file key and a
// one-time key that seals the whole file for that receiver.
#pragma once

#include <cstdint>

#include "EncFormat.h"
#include "Secret.h"

namespace orlak {

class PairKeys {
 public:
  unsigned char* wrap() { return keys_.data(); }
  unsigned char* seal() { return keys_.data() + 32; }

 private:
  WipedBytes<64> keys_;
};

// ourBoxSk with theirBoxPk; senderBoxPk and receiverBoxPk in that order on
// both sides; the file's format version keeps the keys of the two versions
// apart. kPublicKeyDamaged when theirBoxPk is a degenerate point.
uint16_t DerivePairKeys(unsigned char version, const unsigned char* ourBoxSk,
                        const unsigned char* theirBoxPk, const unsigned char* senderBoxPk,
                        const unsigned char* receiverBoxPk, const unsigned char* salt,
                        uint16_t index, PairKeys& keys);

// The additional data of a wrapped key: the header's fixed part and the
// entry's identifier and public key.
void WrapAssociatedData(const unsigned char* headerFixed, const unsigned char* entryKeyPart,
                        unsigned char* out);
inline constexpr size_t kWrapAssociatedDataSize = kHeaderFixedSize + kEntryKeyPartSize;

}  // namespace orlak
