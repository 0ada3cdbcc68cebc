// What a version-2 file seals for each receiver: one digest of the header,
// the payload and its length, so that sealing costs one pass over the payload
// whatever the number of receivers. The payload enters chunk by chunk, each
// as the digest of its sealed bytes, so that chunk digests may be made on any
// thread as long as they are added in order.
#pragma once

#include <sodium.h>

#include <cstddef>
#include <cstdint>

#include "EncFormat.h"

namespace orlak {

inline constexpr size_t kDigestSize = crypto_generichash_BYTES;

class PayloadDigest {
 public:
  // headerDigest: BLAKE2b-256 of the whole header, also the chunks' additional data.
  explicit PayloadDigest(const unsigned char* headerDigest);
  PayloadDigest(const PayloadDigest&) = delete;
  PayloadDigest& operator=(const PayloadDigest&) = delete;

  static void ChunkDigest(const unsigned char* sealed, size_t size, unsigned char* out);
  void AddChunk(const unsigned char* sealed, size_t size);
  void AddChunkDigest(const unsigned char* chunkDigest);
  // The digest, closed by the trailer's 8-byte payload length field.
  void Finish(const unsigned char* lengthField, unsigned char* out);

 private:
  crypto_generichash_state state_;
};

// The thread that reads and runs the cipher would otherwise wait for the one
// that writes and digests: it makes every third chunk's digest itself and
// hands it over with the chunk. Both sides count chunks from 0.
inline bool DigestedByProducer(uint64_t chunkIndex) {
  return chunkIndex % 3 == 2;
}

// One receiver's seal of the digest, under its one-time seal key.
void SealDigest(const unsigned char* sealKey, const unsigned char* digest, unsigned char* out);

}  // namespace orlak
