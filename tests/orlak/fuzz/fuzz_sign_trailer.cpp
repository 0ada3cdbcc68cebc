// The signature trailer parser on arbitrary bytes, attached and separate,
// records of both versions: it must never crash, and what it accepts must
// describe the input exactly, version 2's links and chain included.
#include <sodium.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Codes.h"
#include "KeyId.h"
#include "SignFormat.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void Parse(const uint8_t* data, size_t size, bool separate) {
  orlak::MemorySource source(data, size);
  orlak::SignTrailer trailer;
  if (orlak::ParseSignTrailer(source, separate, trailer) != orlak::kOk) return;
  const size_t count = trailer.records.size();
  Require(count >= 1 && count <= orlak::kMaxSignatures);
  const uint64_t records = count * orlak::kSignRecordSize;
  Require(separate ? records == size : trailer.contentLength + records == size);
  const uint8_t* bytes = data + size - records;
  orlak::SignChain chain;
  for (size_t i = 0; i < count; ++i) {
    const orlak::SignRecord& record = trailer.records[i];
    const uint8_t* stored = bytes + i * orlak::kSignRecordSize;
    Require(record.index == i + 1);
    Require(record.contentLength == trailer.contentLength);
    Require(orlak::IsValidKeyId(record.id));
    Require(record.version == orlak::kSignVersion1 || record.version == orlak::kSignVersion2);
    Require(i == 0 || record.version >= trailer.records[i - 1].version);
    // The chain is the digest of the records in front, as they stand.
    unsigned char digest[orlak::kChainSize];
    chain.Digest(digest);
    Require(std::memcmp(digest, record.chain, sizeof digest) == 0);
    chain.Add(stored);
    if (record.version == orlak::kSignVersion2)
      for (size_t j = 0; j < i; ++j)
        Require(std::memcmp(trailer.records[j].signature, record.signature, 64) != 0);
    // Each record encodes back to its bytes: the link is the chain's start.
    unsigned char again[orlak::kSignRecordSize];
    orlak::EncodeSignRecord(record, again);
    Require(std::memcmp(again, stored, sizeof again) == 0);
  }
  unsigned char end[orlak::kChainSize];
  chain.Digest(end);
  Require(std::memcmp(end, trailer.chainEnd, sizeof end) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return sodium_init() < 0 ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Parse(data, size, false);
  Parse(data, size, true);
  return 0;
}
