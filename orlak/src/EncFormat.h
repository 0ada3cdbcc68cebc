// The encrypted file: a header naming the sender and holding the file key
// wrapped for each receiver, the payload as a secretstream of fixed-size
// chunks, and a trailer with one seal per receiver. Version 2 (written now)
// ends its header with a commitment to the file key; version 1 (read only)
// has none. Layouts in FORMAT.md.
#pragma once

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ByteSource.h"

namespace orlak {

inline constexpr size_t kChunkSize = 64 * 1024;
inline constexpr size_t kChunkOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;
inline constexpr size_t kSealedChunkSize = kChunkSize + kChunkOverhead;
// Bounds the header the reader must hold: a few hundred KiB.
inline constexpr unsigned kMaxReceivers = 4096;

inline constexpr size_t kSaltSize = 32;
inline constexpr size_t kFileKeySize = crypto_secretstream_xchacha20poly1305_KEYBYTES;
inline constexpr size_t kWrapNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
inline constexpr size_t kWrappedKeySize = kFileKeySize + crypto_aead_xchacha20poly1305_ietf_ABYTES;
inline constexpr size_t kSealSize = crypto_onetimeauth_BYTES;

inline constexpr unsigned char kEncVersion1 = 1;
inline constexpr unsigned char kEncVersion2 = 2;

inline constexpr size_t kHeaderFixedSize = 150;
inline constexpr size_t kCommitmentSize = 32;
inline constexpr size_t kEntrySize = 118;
// The part of an entry that its wrapped key authenticates: identifier and key.
inline constexpr size_t kEntryKeyPartSize = 46;

struct ReceiverEntry {
  std::string id;
  unsigned char boxPk[crypto_scalarmult_BYTES] = {};
  unsigned char nonce[kWrapNonceSize] = {};
  unsigned char wrappedKey[kWrappedKeySize] = {};
};

struct EncHeader {
  unsigned char version = kEncVersion2;
  unsigned char salt[kSaltSize] = {};
  unsigned char streamHeader[crypto_secretstream_xchacha20poly1305_HEADERBYTES] = {};
  std::string senderId;
  unsigned char senderSignPk[crypto_sign_PUBLICKEYBYTES] = {};
  unsigned char senderBoxPk[crypto_scalarmult_BYTES] = {};
  std::vector<ReceiverEntry> receivers;
  // Version 2: the MAC of the header's other bytes under a key derived from
  // the file key (FileKeys.h).
  unsigned char commitment[kCommitmentSize] = {};
};

// The fixed part and the entries: all of a version-1 header, and what the
// commitment of a version-2 header covers.
inline uint64_t CommittedSize(size_t receivers) {
  return kHeaderFixedSize + kEntrySize * receivers;
}
inline uint64_t HeaderSize(unsigned char version, size_t receivers) {
  return CommittedSize(receivers) + (version == kEncVersion1 ? 0 : kCommitmentSize);
}
// Payload length, the seals, the end mark.
inline uint64_t TrailerSize(size_t receivers) {
  return 8 + kSealSize * receivers + 8;
}

// The fixed part (kHeaderFixedSize bytes) of the header's version, for a
// header of receiverCount entries.
void EncodeHeaderFixed(const EncHeader& header, size_t receiverCount, unsigned char* out);
void EncodeEntry(const ReceiverEntry& entry, unsigned char* out);
std::vector<unsigned char> EncodeHeader(const EncHeader& header);
void EncodeTrailerEnd(unsigned char* out);  // the 8-byte end mark

struct EncLayout {
  EncHeader header;
  std::vector<unsigned char> headerBytes;
  uint64_t payloadOffset = 0;
  uint64_t payloadLength = 0;
  uint64_t trailerOffset = 0;
};

// Reads and checks the header (either version) and the frame of the whole
// file. Codes:
// kBadFileLength (empty, cut short, extended), kNotEncrypted,
// kUnsupportedFormat (other version, unsound header), kReadFailed.
uint16_t ParseEncryptedFile(ByteSource& source, EncLayout& layout);

}  // namespace orlak
