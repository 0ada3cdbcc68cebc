#include "EncFormat.h"

#include <algorithm>
#include <cstring>

#include "Bytes.h"
#include "Codes.h"
#include "KeyId.h"

namespace orlak {
namespace {

constexpr unsigned char kEncMagic[8] = {'O', 'R', 'L', 'A', 'K', 'E', 'N', 'C'};
constexpr unsigned char kEndMark[8] = {'O', 'R', 'L', 'A', 'K', 'E', 'N', 'D'};

constexpr size_t kCountAt = 10;
constexpr size_t kChunkAt = 12;
constexpr size_t kSaltAt = 16;
constexpr size_t kStreamAt = kSaltAt + kSaltSize;  // 48
constexpr size_t kSenderIdAt = kStreamAt + crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr size_t kSenderSignAt = kSenderIdAt + kKeyIdFieldSize;              // 86
constexpr size_t kSenderBoxAt = kSenderSignAt + crypto_sign_PUBLICKEYBYTES;  // 118
static_assert(kSenderBoxAt + crypto_scalarmult_BYTES == kHeaderFixedSize);

constexpr size_t kEntryBoxAt = kKeyIdFieldSize;                          // 14
constexpr size_t kEntryNonceAt = kEntryBoxAt + crypto_scalarmult_BYTES;  // 46
constexpr size_t kEntryWrapAt = kEntryNonceAt + kWrapNonceSize;          // 70
static_assert(kEntryNonceAt == kEntryKeyPartSize);
static_assert(kEntryWrapAt + kWrappedKeySize == kEntrySize);

}  // namespace

void EncodeHeaderFixed(const EncHeader& header, size_t receiverCount, unsigned char* out) {
  std::memset(out, 0, kHeaderFixedSize);
  std::memcpy(out, kEncMagic, sizeof kEncMagic);
  out[8] = header.version;
  PutU16(out + kCountAt, static_cast<uint16_t>(receiverCount));
  PutU32(out + kChunkAt, kChunkSize);
  std::memcpy(out + kSaltAt, header.salt, kSaltSize);
  std::memcpy(out + kStreamAt, header.streamHeader, sizeof header.streamHeader);
  PutKeyIdField(out + kSenderIdAt, header.senderId);
  std::memcpy(out + kSenderSignAt, header.senderSignPk, sizeof header.senderSignPk);
  std::memcpy(out + kSenderBoxAt, header.senderBoxPk, sizeof header.senderBoxPk);
}

void EncodeEntry(const ReceiverEntry& entry, unsigned char* out) {
  PutKeyIdField(out, entry.id);
  std::memcpy(out + kEntryBoxAt, entry.boxPk, sizeof entry.boxPk);
  std::memcpy(out + kEntryNonceAt, entry.nonce, sizeof entry.nonce);
  std::memcpy(out + kEntryWrapAt, entry.wrappedKey, sizeof entry.wrappedKey);
}

std::vector<unsigned char> EncodeHeader(const EncHeader& header) {
  const size_t count = header.receivers.size();
  std::vector<unsigned char> bytes(HeaderSize(header.version, count));
  EncodeHeaderFixed(header, count, bytes.data());
  for (size_t i = 0; i < count; ++i)
    EncodeEntry(header.receivers[i], bytes.data() + kHeaderFixedSize + i * kEntrySize);
  if (header.version != kEncVersion1)
    std::memcpy(bytes.data() + CommittedSize(count), header.commitment, kCommitmentSize);
  return bytes;
}

void EncodeTrailerEnd(unsigned char* out) {
  std::memcpy(out, kEndMark, sizeof kEndMark);
}

uint16_t ParseEncryptedFile(ByteSource& source, EncLayout& layout) {
  const uint64_t size = source.Size();
  if (size == 0) return kBadFileLength;
  unsigned char fixed[kHeaderFixedSize];
  const size_t lead = static_cast<size_t>(std::min<uint64_t>(size, 16));
  if (!source.ReadAt(0, fixed, lead)) return kReadFailed;
  // A file that starts like an encrypted one but stops within the mark was cut.
  if (std::memcmp(fixed, kEncMagic, std::min(lead, sizeof kEncMagic)) != 0) return kNotEncrypted;
  if (lead < 16) return kBadFileLength;
  const unsigned char version = fixed[8];
  if ((version != kEncVersion1 && version != kEncVersion2) || fixed[9] != 0)
    return kUnsupportedFormat;
  const unsigned count = GetU16(fixed + kCountAt);
  if (count == 0 || count > kMaxReceivers) return kUnsupportedFormat;
  if (GetU32(fixed + kChunkAt) != kChunkSize) return kUnsupportedFormat;

  const uint64_t headerSize = HeaderSize(version, count);
  const uint64_t trailerSize = TrailerSize(count);
  if (size < headerSize + kChunkOverhead + trailerSize) return kBadFileLength;
  unsigned char end[8];
  if (!source.ReadAt(size - sizeof end, end, sizeof end)) return kReadFailed;
  if (std::memcmp(end, kEndMark, sizeof kEndMark) != 0) return kBadFileLength;
  unsigned char lengthField[8];
  if (!source.ReadAt(size - trailerSize, lengthField, sizeof lengthField)) return kReadFailed;
  const uint64_t payloadLength = GetU64(lengthField);
  if (payloadLength != size - headerSize - trailerSize) return kBadFileLength;
  const uint64_t lastChunk = payloadLength % kSealedChunkSize;
  if (lastChunk != 0 && lastChunk < kChunkOverhead) return kBadFileLength;

  layout.headerBytes.resize(headerSize);
  if (!source.ReadAt(0, layout.headerBytes.data(), headerSize)) return kReadFailed;
  const unsigned char* h = layout.headerBytes.data();
  EncHeader& header = layout.header;
  header.version = version;
  std::memcpy(header.salt, h + kSaltAt, kSaltSize);
  std::memcpy(header.streamHeader, h + kStreamAt, sizeof header.streamHeader);
  if (!GetKeyIdField(h + kSenderIdAt, header.senderId)) return kUnsupportedFormat;
  std::memcpy(header.senderSignPk, h + kSenderSignAt, sizeof header.senderSignPk);
  std::memcpy(header.senderBoxPk, h + kSenderBoxAt, sizeof header.senderBoxPk);
  header.receivers.assign(count, ReceiverEntry{});
  for (unsigned i = 0; i < count; ++i) {
    const unsigned char* e = h + kHeaderFixedSize + i * kEntrySize;
    ReceiverEntry& entry = header.receivers[i];
    if (!GetKeyIdField(e, entry.id)) return kUnsupportedFormat;
    std::memcpy(entry.boxPk, e + kEntryBoxAt, sizeof entry.boxPk);
    std::memcpy(entry.nonce, e + kEntryNonceAt, sizeof entry.nonce);
    std::memcpy(entry.wrappedKey, e + kEntryWrapAt, sizeof entry.wrappedKey);
  }
  if (version != kEncVersion1)
    std::memcpy(header.commitment, h + CommittedSize(count), kCommitmentSize);
  layout.payloadOffset = headerSize;
  layout.payloadLength = payloadLength;
  layout.trailerOffset = headerSize + payloadLength;
  return kOk;
}

}  // namespace orlak
