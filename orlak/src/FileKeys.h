// What a version-2 file derives from its file key: the key of the payload's
// stream and the key of the header's commitment. The commitment is a MAC of
// the header under a key only the file key gives, with a hash that is
// collision resistant in its key: no second file key opens the same header,
// so every receiver who gets past it reads the one payload the file holds.
#pragma once

#include <cstddef>

#include "EncFormat.h"
#include "Secret.h"

namespace orlak {

class FileKeys {
 public:
  // fileKey: the kFileKeySize bytes wrapped for the receivers.
  explicit FileKeys(const unsigned char* fileKey);
  const unsigned char* stream() const { return keys_.data(); }
  const unsigned char* commit() const { return keys_.data() + kFileKeySize; }

  // The commitment of the header's first committedSize bytes.
  void Commitment(const unsigned char* header, size_t committedSize, unsigned char* out) const;
  // Whether the header's last kCommitmentSize bytes commit to its others.
  bool Commits(const unsigned char* header, size_t headerSize) const;

 private:
  WipedBytes<2 * kFileKeySize> keys_;
};

}  // namespace orlak
