#include "PayloadDigest.h"

namespace orlak {

static_assert(kSealSize == crypto_onetimeauth_BYTES);

PayloadDigest::PayloadDigest(const unsigned char* headerDigest) {
  crypto_generichash_init(&state_, nullptr, 0, kDigestSize);
  crypto_generichash_update(&state_, headerDigest, kDigestSize);
}

void PayloadDigest::ChunkDigest(const unsigned char* sealed, size_t size, unsigned char* out) {
  crypto_generichash(out, kDigestSize, sealed, size, nullptr, 0);
}

void PayloadDigest::AddChunk(const unsigned char* sealed, size_t size) {
  unsigned char digest[kDigestSize];
  ChunkDigest(sealed, size, digest);
  AddChunkDigest(digest);
}

void PayloadDigest::AddChunkDigest(const unsigned char* chunkDigest) {
  crypto_generichash_update(&state_, chunkDigest, kDigestSize);
}

void PayloadDigest::Finish(const unsigned char* lengthField, unsigned char* out) {
  crypto_generichash_update(&state_, lengthField, 8);
  crypto_generichash_final(&state_, out, kDigestSize);
}

void SealDigest(const unsigned char* sealKey, const unsigned char* digest, unsigned char* out) {
  crypto_onetimeauth(out, digest, kDigestSize, sealKey);
}

}  // namespace orlak
