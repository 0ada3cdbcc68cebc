#include "SignFormat.h"

#include <cstring>

#include "Bytes.h"
#include "Codes.h"
#include "KeyId.h"

namespace orlak {
namespace {

constexpr unsigned char kMagic[8] = {'O', 'R', 'L', 'A', 'K', 'S', 'I', 'G'};
constexpr unsigned char kVersion = 1;

constexpr size_t kIndexAt = 1;
constexpr size_t kIdAt = 2;
constexpr size_t kLengthAt = kIdAt + kKeyIdFieldSize;             // 16
constexpr size_t kSignatureAt = kLengthAt + 8;                    // 24
constexpr size_t kReservedAt = kSignatureAt + crypto_sign_BYTES;  // 88
constexpr size_t kMagicAt = kReservedAt + 8;                      // 96
static_assert(kMagicAt + sizeof kMagic == kSignRecordSize);

bool DecodeRecord(const unsigned char* in, SignRecord& record) {
  if (std::memcmp(in + kMagicAt, kMagic, sizeof kMagic) != 0) return false;
  if (in[0] != kVersion || !AllZero(in + kReservedAt, 8)) return false;
  record.index = in[kIndexAt];
  if (!GetKeyIdField(in + kIdAt, record.id)) return false;
  record.contentLength = GetU64(in + kLengthAt);
  std::memcpy(record.signature, in + kSignatureAt, crypto_sign_BYTES);
  return true;
}

}  // namespace

uint16_t ParseSignTrailer(ByteSource& source, bool separate, SignTrailer& trailer) {
  const uint64_t size = source.Size();
  if (size == 0) return kBadFileLength;
  unsigned char last[kSignRecordSize];
  if (size < kSignRecordSize) return kNotSigned;
  if (!source.ReadAt(size - kSignRecordSize, last, kSignRecordSize)) return kReadFailed;
  if (std::memcmp(last + kMagicAt, kMagic, sizeof kMagic) != 0) return kNotSigned;

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
  for (unsigned i = 0; i < count; ++i) {
    SignRecord& record = trailer.records[i];
    if (!DecodeRecord(bytes.data() + i * kSignRecordSize, record)) return kUnsupportedFormat;
    if (record.index != i + 1 || record.contentLength != newest.contentLength)
      return kUnsupportedFormat;
  }
  return kOk;
}

void EncodeSignRecord(const SignRecord& record, unsigned char* out) {
  std::memset(out, 0, kSignRecordSize);
  out[0] = kVersion;
  out[kIndexAt] = static_cast<unsigned char>(record.index);
  PutKeyIdField(out + kIdAt, record.id);
  PutU64(out + kLengthAt, record.contentLength);
  std::memcpy(out + kSignatureAt, record.signature, crypto_sign_BYTES);
  std::memcpy(out + kMagicAt, kMagic, sizeof kMagic);
}

void SignedSuffix(std::string_view id, uint64_t contentLength, unsigned char* out) {
  std::memcpy(out, kMagic, sizeof kMagic);
  out[8] = kVersion;
  PutKeyIdField(out + 9, id);
  PutU64(out + 9 + kKeyIdFieldSize, contentLength);
  static_assert(9 + kKeyIdFieldSize + 8 == kSignedSuffixSize);
}

}  // namespace orlak
