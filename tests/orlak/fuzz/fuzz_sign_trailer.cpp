// The signature trailer parser on arbitrary bytes, attached and separate:
// it must never crash, and what it accepts must describe the input exactly.
#include <cstdint>
#include <cstdlib>

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
  for (size_t i = 0; i < count; ++i) {
    Require(trailer.records[i].index == i + 1);
    Require(trailer.records[i].contentLength == trailer.contentLength);
    Require(orlak::IsValidKeyId(trailer.records[i].id));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Parse(data, size, false);
  Parse(data, size, true);
  return 0;
}
