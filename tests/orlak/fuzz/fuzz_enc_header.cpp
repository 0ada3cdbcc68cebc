// The encrypted file's header and frame parser on arbitrary bytes, headers
// of both versions: it must never crash, and an accepted frame must add up
// to the input's size.
#include <cstdint>
#include <cstdlib>

#include "Codes.h"
#include "EncFormat.h"
#include "KeyId.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orlak::MemorySource source(data, size);
  orlak::EncLayout layout;
  if (orlak::ParseEncryptedFile(source, layout) != orlak::kOk) return 0;
  const size_t receivers = layout.header.receivers.size();
  const unsigned char version = layout.header.version;
  Require(version == orlak::kEncVersion1 || version == orlak::kEncVersion2);
  Require(version == data[8]);
  Require(receivers >= 1 && receivers <= orlak::kMaxReceivers);
  Require(layout.payloadOffset == orlak::HeaderSize(version, receivers));
  Require(layout.headerBytes.size() == layout.payloadOffset);
  Require(layout.payloadLength >= orlak::kChunkOverhead);
  Require(layout.trailerOffset == layout.payloadOffset + layout.payloadLength);
  Require(layout.trailerOffset + orlak::TrailerSize(receivers) == size);
  Require(orlak::IsValidKeyId(layout.header.senderId));
  for (const orlak::ReceiverEntry& entry : layout.header.receivers)
    Require(orlak::IsValidKeyId(entry.id));
  // What was parsed, the commitment of version 2 included, must encode back
  // to the same header bytes.
  Require(orlak::EncodeHeader(layout.header) == layout.headerBytes);
  return 0;
}
