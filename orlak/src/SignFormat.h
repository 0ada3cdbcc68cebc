// The signature trailer: fixed-size records appended to the signed content,
// the newest last. Every record names its position, so the last one alone
// tells where the content ends, and removing signatures is a truncation.
// A version-2 record (written now) also signs its position and the records
// before it, so that records cannot be moved, copied or edited; version-1
// records (read only) sign the content alone.
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
inline constexpr unsigned char kSignVersion1 = 1;
inline constexpr unsigned char kSignVersion2 = 2;
// The digest of the records in front of a record, and the part of it a
// version-2 record stores.
inline constexpr size_t kChainSize = crypto_generichash_BYTES;
inline constexpr size_t kLinkSize = 8;
inline constexpr size_t kMaxSignedSuffixSize = 64;

struct SignRecord {
  unsigned char version = kSignVersion2;
  unsigned index = 0;  // 1-based position in the trailer
  std::string id;
  uint64_t contentLength = 0;
  unsigned char signature[crypto_sign_BYTES] = {};
  // The chain digest of the records before this one, as they stand.
  unsigned char chain[kChainSize] = {};
};

struct SignTrailer {
  uint64_t contentLength = 0;  // in a separate signature file: the signed file's
  std::vector<SignRecord> records;
  // The chain digest of all the records: what a record appended next signs.
  unsigned char chainEnd[kChainSize] = {};
};

// BLAKE2b-256 of the records in front of a position, one record at a time.
class SignChain {
 public:
  SignChain();                            // in front of the first record
  void Add(const unsigned char* record);  // kSignRecordSize bytes
  void Digest(unsigned char* out) const;  // kChainSize bytes

 private:
  crypto_generichash_state state_;
};

// Reads the records at the end of source. With separate set the source holds
// nothing but records (a separate signature file). Codes: kBadFileLength for
// an empty source, kNotSigned when it does not end in a record, and
// kUnsupportedFormat for a trailer that is not sound: positions out of
// order, lengths that differ, a version-1 record after a version-2 one, a
// version-2 record whose link does not match the records before it or whose
// signature repeats an earlier record's.
uint16_t ParseSignTrailer(ByteSource& source, bool separate, SignTrailer& trailer);

void EncodeSignRecord(const SignRecord& record, unsigned char* out);

// What follows the content in the record's signed message, written to out
// (kMaxSignedSuffixSize bytes at most); returns its size. It binds the
// signer's identifier and the content length into the signature, and in
// version 2 the position and the chain digest too.
size_t SignedSuffix(const SignRecord& record, unsigned char* out);

}  // namespace orlak
