#include "FileKeys.h"

#include <sodium.h>

namespace orlak {
namespace {

constexpr char kStreamContext[crypto_kdf_CONTEXTBYTES + 1] = "ORLKSTRM";
constexpr char kCommitContext[crypto_kdf_CONTEXTBYTES + 1] = "ORLKCOMT";
static_assert(kFileKeySize == crypto_kdf_KEYBYTES);
static_assert(kCommitmentSize == crypto_generichash_BYTES);

}  // namespace

FileKeys::FileKeys(const unsigned char* fileKey) {
  crypto_kdf_derive_from_key(keys_.data(), kFileKeySize, 1, kStreamContext, fileKey);
  crypto_kdf_derive_from_key(keys_.data() + kFileKeySize, kFileKeySize, 2, kCommitContext, fileKey);
}

void FileKeys::Commitment(const unsigned char* header, size_t committedSize,
                          unsigned char* out) const {
  crypto_generichash(out, kCommitmentSize, header, committedSize, commit(), kFileKeySize);
}

bool FileKeys::Commits(const unsigned char* header, size_t headerSize) const {
  if (headerSize < kCommitmentSize) return false;
  const size_t committed = headerSize - kCommitmentSize;
  unsigned char computed[kCommitmentSize];
  Commitment(header, committed, computed);
  return crypto_verify_32(computed, header + committed) == 0;
}

}  // namespace orlak
