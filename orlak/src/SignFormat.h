// The signature trailer: fixed-size records appended to the signed content,
// the newest last. Every record names its position, so the last one alone
// tells where the content ends, and removing signatures is a truncation.
#pragma once

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ByteSource.h"

namespace orlak {

inline constexpr size_t kSignRecordSize = 104;
inline constexpr unsigned kMaxSignatures = 255;
inline constexpr size_t kSignedSuffixSize = 31;

struct SignRecord {
  unsigned index = 0;  // 1-based position in the trailer
  std::string id;
  uint64_t contentLength = 0;
  unsigned char signature[crypto_sign_BYTES] = {};
};

struct SignTrailer {
  uint64_t contentLength = 0;  // in a separate signature file: the signed file's
  std::vector<SignRecord> records;
};

// Reads the records at the end of source. With separate set the source holds
// nothing but records (a separate signature file). Codes: kBadFileLength for
// an empty source, kNotSigned when it does not end in a record, and
// kUnsupportedFormat for a trailer that is not sound.
uint16_t ParseSignTrailer(ByteSource& source, bool separate, SignTrailer& trailer);

void EncodeSignRecord(const SignRecord& record, unsigned char* out);

// What follows the content in the signed message: it binds the signer's
// identifier and the content length into the signature.
void SignedSuffix(std::string_view id, uint64_t contentLength, unsigned char* out);

}  // namespace orlak
