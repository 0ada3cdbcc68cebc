#include "SignFormat.h"

#include <cstring>

#include "Bytes.h"
#include "Codes.h"
#include "KeyId.h"

namespace orlak {
namespace {

constexpr unsigned char kSignMagic[8] = {'O', 'R', 'L', 'A', 'K', 'S', 'I', 'G'};

constexpr size_t kIndexAt = 1;
constexpr size_t kRecordIdAt = 2;
constexpr size_t kLengthAt = kRecordIdAt + kKeyIdFieldSize;   // 16
constexpr size_t kSignatureAt = kLengthAt + 8;                // 24
constexpr size_t kLinkAt = kSignatureAt + crypto_sign_BYTES;  // 88, reserved in version 1
constexpr size_t kSignMagicAt = kLinkAt + kLinkSize;          // 96
static_assert(kSignMagicAt + sizeof kSignMagic == kSignRecordSize);

// Suffix: mark, version, identifier field, content length; then in version 2
// the position and the chain digest.
constexpr size_t kSuffixV1Size = 8 + 1 + kKeyIdFieldSize + 8;     // 31
constexpr size_t kSuffixV2Size = kSuffixV1Size + 1 + kChainSize;  // 64
static_assert(kSuffixV2Size == kMaxSignedSuffixSize);

bool DecodeRecord(const unsigned char* in, SignRecord& record) {
  if (std::memcmp(in + kSignMagicAt, kSignMagic, sizeof kSignMagic) != 0) return false;
  record.version = in[0];
  if (record.version == kSignVersion1) {
    if (!AllZero(in + kLinkAt, kLinkSize)) return false;
  } else if (record.version != kSignVersion2) {
    return false;
  }
  record.index = in[kIndexAt];
  if (!GetKeyIdField(in + kRecordIdAt, record.id)) return false;
  record.contentLength = GetU64(in + kLengthAt);
  std::memcpy(record.signature, in + kSignatureAt, crypto_sign_BYTES);
  return true;
}

// Whether record i may stand where it does, after records 0..i-1: a
// version-2 record links to the chain in front of it, and is no copy of an
// earlier record (genuine version-2 signatures never repeat, as each signs
// its own position); nothing of version 1 follows version 2.
bool RecordFits(const std::vector<SignRecord>& records, size_t i, const unsigned char* bytes) {
  const SignRecord& record = records[i];
  if (record.version == kSignVersion1) return i == 0 || records[i - 1].version == kSignVersion1;
  if (sodium_memcmp(bytes + kLinkAt, record.chain, kLinkSize) != 0) return false;
  for (size_t j = 0; j < i; ++j)
    if (std::memcmp(records[j].signature, record.signature, crypto_sign_BYTES) == 0) return false;
  return true;
}

}  // namespace

SignChain::SignChain() {
  crypto_generichash_init(&state_, nullptr, 0, kChainSize);
}

void SignChain::Add(const unsigned char* record) {
  crypto_generichash_update(&state_, record, kSignRecordSize);
}

void SignChain::Digest(unsigned char* out) const {
  crypto_generichash_state copy = state_;
  crypto_generichash_final(&copy, out, kChainSize);
}

uint16_t ParseSignTrailer(ByteSource& source, bool separate, SignTrailer& trailer) {
  const uint64_t size = source.Size();
  if (size == 0) return kBadFileLength;
  unsigned char last[kSignRecordSize];
  if (size < kSignRecordSize) return kNotSigned;
  if (!source.ReadAt(size - kSignRecordSize, last, kSignRecordSize)) return kReadFailed;
  if (std::memcmp(last + kSignMagicAt, kSignMagic, sizeof kSignMagic) != 0) return kNotSigned;

  SignRecord newest;
  if (!DecodeRecord(last, newest)) return kUnsupportedFormat;
  const unsigned count = newest.index;
  if (count == 0) return kUnsupportedFormat;
  const uint64_t trailerSize = uint64_t{count} * kSignRecordSize;
  if (trailerSize > size) return kUnsupportedFormat;
  const uint64_t start = size - trailerSize;
  if (separate ? start != 0 : newest.contentLength != start) return kUnsupportedFormat;

  std::vector<unsigned char> bytes(trailerSize);
  if (!source.ReadAt(start, bytes.data(), bytes.size())) return kReadFailed;
  trailer.contentLength = newest.contentLength;
  trailer.records.assign(count, SignRecord{});
  SignChain chain;
  for (unsigned i = 0; i < count; ++i) {
    const unsigned char* recordBytes = bytes.data() + i * kSignRecordSize;
    SignRecord& record = trailer.records[i];
    if (!DecodeRecord(recordBytes, record)) return kUnsupportedFormat;
    if (record.index != i + 1 || record.contentLength != newest.contentLength)
      return kUnsupportedFormat;
    chain.Digest(record.chain);
    if (!RecordFits(trailer.records, i, recordBytes)) return kUnsupportedFormat;
    chain.Add(recordBytes);
  }
  chain.Digest(trailer.chainEnd);
  return kOk;
}

void EncodeSignRecord(const SignRecord& record, unsigned char* out) {
  std::memset(out, 0, kSignRecordSize);
  out[0] = record.version;
  out[kIndexAt] = static_cast<unsigned char>(record.index);
  PutKeyIdField(out + kRecordIdAt, record.id);
  PutU64(out + kLengthAt, record.contentLength);
  std::memcpy(out + kSignatureAt, record.signature, crypto_sign_BYTES);
  if (record.version != kSignVersion1) std::memcpy(out + kLinkAt, record.chain, kLinkSize);
  std::memcpy(out + kSignMagicAt, kSignMagic, sizeof kSignMagic);
}

size_t SignedSuffix(const SignRecord& record, unsigned char* out) {
  std::memcpy(out, kSignMagic, sizeof kSignMagic);
  out[8] = record.version;
  PutKeyIdField(out + 9, record.id);
  PutU64(out + 9 + kKeyIdFieldSize, record.contentLength);
  if (record.version == kSignVersion1) return kSuffixV1Size;
  out[kSuffixV1Size] = static_cast<unsigned char>(record.index);
  std::memcpy(out + kSuffixV1Size + 1, record.chain, kChainSize);
  return kSuffixV2Size;
}

}  // namespace orlak
