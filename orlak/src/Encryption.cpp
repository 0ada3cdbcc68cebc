#include "Encryption.h"

#include <algorithm>
#include <cstring>

#include "Bytes.h"
#include "Codes.h"
#include "EncFormat.h"
#include "FileKeys.h"
#include "Files.h"
#include "PayloadDigest.h"
#include "ReceiverKeys.h"
#include "WriteBehind.h"

namespace orlak {
namespace {

using StreamState = crypto_secretstream_xchacha20poly1305_state;
constexpr size_t kSealKeySize = crypto_onetimeauth_KEYBYTES;

// Fills the receiver entries of a header whose fixed part is complete: the
// file key wrapped for each, and each receiver's seal key kept in sealKeys.
uint16_t AddReceivers(const SecretKey& sender, const std::vector<PublicKey>& receivers,
                      const unsigned char* fileKey, EncHeader& header, WipedBuffer& sealKeys) {
  unsigned char fixed[kHeaderFixedSize];
  EncodeHeaderFixed(header, receivers.size(), fixed);
  header.receivers.resize(receivers.size());
  for (size_t i = 0; i < receivers.size(); ++i) {
    ReceiverEntry& entry = header.receivers[i];
    entry.id = receivers[i].id;
    std::memcpy(entry.boxPk, receivers[i].boxPk, sizeof entry.boxPk);
    randombytes_buf(entry.nonce, sizeof entry.nonce);
    PairKeys keys;
    uint16_t code = DerivePairKeys(header.version, sender.boxSk(), entry.boxPk, sender.pub.boxPk,
                                   entry.boxPk, header.salt, static_cast<uint16_t>(i), keys);
    if (code != kOk) return code;
    unsigned char entryBytes[kEntrySize] = {};
    EncodeEntry(entry, entryBytes);
    unsigned char ad[kWrapAssociatedDataSize];
    WrapAssociatedData(fixed, entryBytes, ad);
    crypto_aead_xchacha20poly1305_ietf_encrypt(entry.wrappedKey, nullptr, fileKey, kFileKeySize, ad,
                                               sizeof ad, nullptr, entry.nonce, keys.wrap());
    std::memcpy(sealKeys.data() + i * kSealKeySize, keys.seal(), kSealKeySize);
  }
  return kOk;
}

// A hand-over buffer holds a sealed chunk and, when the producer made it,
// the chunk's digest at a fixed offset.
constexpr size_t kSealedDigestAt = kSealedChunkSize;
constexpr size_t kSealedHandOverSize = kSealedDigestAt + kDigestSize;

// Streams the input into sealed chunks, handed to sink in order. Each chunk
// is read one ahead, so the last one can carry the final tag.
uint16_t WritePayload(InputFile& in, StreamState& stream, const unsigned char* headerDigest,
                      WriteBehind& sink, uint64_t& payloadLength) {
  uint64_t chunk = 0;
  // A file shorter than a chunk needs no more room than its bytes: the
  // buffers are allocated, cleared and wiped for each file.
  const size_t room = static_cast<size_t>(std::clamp<uint64_t>(in.Size(), 1, kChunkSize));
  WipedBuffer current(room), next(room);
  ssize_t currentSize = in.Read(current.data(), room);
  payloadLength = 0;
  for (;;) {
    if (currentSize < 0) return kReadFailed;
    ssize_t nextSize = 0;
    if (static_cast<size_t>(currentSize) == kChunkSize) {
      nextSize = in.Read(next.data(), room);
      if (nextSize < 0) return kReadFailed;
    }
    const bool last = nextSize == 0;
    unsigned char* sealed = sink.Acquire();
    if (sealed == nullptr) return sink.Finish();
    unsigned long long sealedSize = 0;
    crypto_secretstream_xchacha20poly1305_push(
        &stream, sealed, &sealedSize, current.data(), static_cast<size_t>(currentSize),
        headerDigest, kDigestSize,
        last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
             : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
    if (DigestedByProducer(chunk++))
      PayloadDigest::ChunkDigest(sealed, sealedSize, sealed + kSealedDigestAt);
    sink.Submit(sealedSize);
    payloadLength += sealedSize;
    if (last) return sink.Finish();
    current.swap(next);
    currentSize = nextSize;
  }
}

}  // namespace

uint16_t EncryptFile(const std::string& input, const std::string& output, const SecretKey& sender,
                     const std::vector<PublicKey>& receivers) {
  const size_t count = receivers.size();
  if (count == 0 || count > kMaxReceivers) return kBadParameter;
  InputFile in;
  uint16_t code = in.Open(input);
  if (code != kOk) return code;

  EncHeader header;
  header.version = kEncVersion2;
  randombytes_buf(header.salt, sizeof header.salt);
  header.senderId = sender.pub.id;
  std::memcpy(header.senderSignPk, sender.pub.signPk, sizeof header.senderSignPk);
  std::memcpy(header.senderBoxPk, sender.pub.boxPk, sizeof header.senderBoxPk);
  WipedBytes<kFileKeySize> fileKey;
  crypto_kdf_keygen(fileKey.data());
  const FileKeys keys(fileKey.data());
  StreamState stream;
  WipeOnExit<StreamState> wipeStream(stream);
  crypto_secretstream_xchacha20poly1305_init_push(&stream, header.streamHeader, keys.stream());
  WipedBuffer sealKeys(count * kSealKeySize);
  code = AddReceivers(sender, receivers, fileKey.data(), header, sealKeys);
  if (code != kOk) return code;
  std::vector<unsigned char> headerBytes = EncodeHeader(header);
  keys.Commitment(headerBytes.data(), CommittedSize(count),
                  headerBytes.data() + CommittedSize(count));
  unsigned char headerDigest[kDigestSize];
  crypto_generichash(headerDigest, sizeof headerDigest, headerBytes.data(), headerBytes.size(),
                     nullptr, 0);

  OutputFile out;
  code = out.Create(output, 0666);
  if (code != kOk) return code;
  code = out.Write(headerBytes.data(), headerBytes.size());
  if (code != kOk) return code;
  PayloadDigest digest(headerDigest);
  uint64_t payloadLength = 0;
  {
    // Writing and the digest of what is written run beside the cipher.
    uint64_t chunk = 0;
    // One chunk (a file shorter than that) is handed over without its digest.
    const size_t handOver =
        in.Size() < kChunkSize
            ? static_cast<size_t>(in.Size()) + crypto_secretstream_xchacha20poly1305_ABYTES
            : kSealedHandOverSize;
    WriteBehind sink(handOver, in.Size() >= kWriteBehindFrom,
                     [&](const unsigned char* data, size_t size) {
                       const uint16_t written = out.Write(data, size);
                       if (written != kOk) return written;
                       if (DigestedByProducer(chunk++))
                         digest.AddChunkDigest(data + kSealedDigestAt);
                       else
                         digest.AddChunk(data, size);
                       return written;
                     });
    code = WritePayload(in, stream, headerDigest, sink, payloadLength);
  }
  if (code != kOk) return code;

  // One digest of everything before the seals, sealed for each receiver.
  std::vector<unsigned char> trailer(TrailerSize(count));
  PutU64(trailer.data(), payloadLength);
  unsigned char sealed[kDigestSize];
  digest.Finish(trailer.data(), sealed);
  for (size_t i = 0; i < count; ++i)
    SealDigest(sealKeys.data() + i * kSealKeySize, sealed, trailer.data() + 8 + i * kSealSize);
  EncodeTrailerEnd(trailer.data() + trailer.size() - 8);
  code = out.Write(trailer.data(), trailer.size());
  if (code != kOk) return code;
  return out.Commit();
}

}  // namespace orlak
