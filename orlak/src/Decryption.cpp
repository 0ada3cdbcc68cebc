#include <algorithm>
#include <cstring>
#include <optional>

#include "Codes.h"
#include "EncFormat.h"
#include "Encryption.h"
#include "FileKeys.h"
#include "Files.h"
#include "PayloadDigest.h"
#include "ReceiverKeys.h"
#include "WriteBehind.h"

namespace orlak {
namespace {

bool SameSender(const EncHeader& header, const PublicKey& sender) {
  return header.senderId == sender.id &&
         sodium_memcmp(header.senderSignPk, sender.signPk, sizeof sender.signPk) == 0 &&
         sodium_memcmp(header.senderBoxPk, sender.boxPk, sizeof sender.boxPk) == 0;
}

// The first entry for the receiver's identifier and current key, or -1.
long FindEntry(const EncHeader& header, const PublicKey& receiver) {
  for (size_t i = 0; i < header.receivers.size(); ++i) {
    const ReceiverEntry& entry = header.receivers[i];
    if (entry.id == receiver.id &&
        sodium_memcmp(entry.boxPk, receiver.boxPk, sizeof receiver.boxPk) == 0)
      return static_cast<long>(i);
  }
  return -1;
}

using StreamState = crypto_secretstream_xchacha20poly1305_state;

// The receiver's seal over the file: in version 1 Poly1305 of the header,
// every sealed chunk and the length field; in version 2 Poly1305 of one
// digest of them. Updated in payload order, from the writing thread.
class PayloadSeal {
 public:
  PayloadSeal(const EncLayout& layout, const unsigned char* headerDigest,
              const unsigned char* sealKey)
      : version_(layout.header.version), digest_(headerDigest) {
    std::memcpy(sealKey_.data(), sealKey, sealKey_.size());
    crypto_onetimeauth_init(&mac_, sealKey);
    if (version_ == kEncVersion1)
      crypto_onetimeauth_update(&mac_, layout.headerBytes.data(), layout.headerBytes.size());
  }
  ~PayloadSeal() { sodium_memzero(&mac_, sizeof mac_); }
  PayloadSeal(const PayloadSeal&) = delete;
  PayloadSeal& operator=(const PayloadSeal&) = delete;

  // chunkDigest: the chunk's digest when the reading thread made it, or null.
  void Update(const unsigned char* sealed, size_t size, const unsigned char* chunkDigest) {
    if (version_ == kEncVersion1)
      crypto_onetimeauth_update(&mac_, sealed, size);
    else if (chunkDigest)
      digest_.AddChunkDigest(chunkDigest);
    else
      digest_.AddChunk(sealed, size);
  }
  bool Matches(const unsigned char* lengthField, const unsigned char* stored) {
    unsigned char computed[kSealSize];
    if (version_ == kEncVersion1) {
      crypto_onetimeauth_update(&mac_, lengthField, 8);
      crypto_onetimeauth_final(&mac_, computed);
    } else {
      unsigned char digest[kDigestSize];
      digest_.Finish(lengthField, digest);
      SealDigest(sealKey_.data(), digest, computed);
    }
    return crypto_verify_16(computed, stored) == 0;
  }

 private:
  unsigned char version_;
  crypto_onetimeauth_state mac_;
  PayloadDigest digest_;
  WipedBytes<crypto_onetimeauth_KEYBYTES> sealKey_;
};

// Opens the file key of entry index with the pair's wrapping key.
bool UnwrapFileKey(const EncLayout& layout, size_t index, PairKeys& keys, unsigned char* fileKey) {
  const unsigned char* entryBytes =
      layout.headerBytes.data() + kHeaderFixedSize + index * kEntrySize;
  unsigned char ad[kWrapAssociatedDataSize];
  WrapAssociatedData(layout.headerBytes.data(), entryBytes, ad);
  const ReceiverEntry& entry = layout.header.receivers[index];
  return crypto_aead_xchacha20poly1305_ietf_decrypt(fileKey, nullptr, nullptr, entry.wrappedKey,
                                                    sizeof entry.wrappedKey, ad, sizeof ad,
                                                    entry.nonce, keys.wrap()) == 0;
}

// A hand-over buffer holds a sealed chunk as read, then at fixed offsets the
// plaintext opened from it and, in version 2 when the reading thread made it,
// the chunk's digest: the seal covers the first, the output gets the second.
constexpr size_t kPlainAt = kSealedChunkSize;
constexpr size_t kOpenedDigestAt = kPlainAt + kChunkSize;
constexpr size_t kOpenedHandOverSize = kOpenedDigestAt + kDigestSize;

bool ProducerDigests(const EncLayout& layout, uint64_t chunk) {
  return layout.header.version != kEncVersion1 && DigestedByProducer(chunk);
}

// Reads and opens the chunks in order and hands each, with its plaintext, to
// sink; the buffer's size is that of the sealed chunk.
uint16_t ReadPayload(InputFile& in, const EncLayout& layout, StreamState& stream,
                     const unsigned char* digest, WriteBehind& sink) {
  if (!in.Seek(layout.payloadOffset)) return kReadFailed;
  uint64_t remaining = layout.payloadLength;
  uint64_t chunk = 0;
  while (remaining > 0) {
    const size_t size = static_cast<size_t>(std::min<uint64_t>(remaining, kSealedChunkSize));
    unsigned char* buffer = sink.Acquire();
    if (buffer == nullptr) return sink.Finish();
    if (in.Read(buffer, size) != static_cast<ssize_t>(size)) return kReadFailed;
    unsigned long long plainSize = 0;
    unsigned char tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(&stream, buffer + kPlainAt, &plainSize, &tag,
                                                   buffer, size, digest, kDigestSize) != 0)
      return kAuthFailed;
    remaining -= size;
    // Only the last chunk may end the stream, and it must.
    const unsigned char expected = remaining == 0
                                       ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                                       : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
    if (tag != expected) return kAuthFailed;
    if (ProducerDigests(layout, chunk++))
      PayloadDigest::ChunkDigest(buffer, size, buffer + kOpenedDigestAt);
    sink.Submit(size);
  }
  return sink.Finish();
}

}  // namespace

uint16_t DecryptFile(const std::string& input, const std::string& output, const SecretKey& receiver,
                     const PublicKey& sender) {
  InputFile in;
  uint16_t code = in.Open(input);
  if (code != kOk) return code;
  EncLayout layout;
  code = ParseEncryptedFile(in, layout);
  if (code != kOk) return code;
  const EncHeader& header = layout.header;
  if (!SameSender(header, sender)) return kWrongSender;
  const long found = FindEntry(header, receiver.pub);
  if (found < 0) return kNotAddressed;
  const size_t index = static_cast<size_t>(found);

  PairKeys keys;
  code = DerivePairKeys(header.version, receiver.boxSk(), sender.boxPk, sender.boxPk,
                        receiver.pub.boxPk, header.salt, static_cast<uint16_t>(index), keys);
  if (code != kOk) return code;
  WipedBytes<kFileKeySize> fileKey;
  if (!UnwrapFileKey(layout, index, keys, fileKey.data())) return kAuthFailed;
  // Version 1 streams under the file key itself. Version 2 derives the
  // stream's key, and first the header must commit to this file key: a
  // sender who wrapped another key for someone else is refused here, before
  // any of the payload is read.
  const unsigned char* streamKey = fileKey.data();
  std::optional<FileKeys> fileKeys;
  if (header.version != kEncVersion1) {
    fileKeys.emplace(fileKey.data());
    if (!fileKeys->Commits(layout.headerBytes.data(), layout.headerBytes.size()))
      return kAuthFailed;
    streamKey = fileKeys->stream();
  }
  StreamState stream;
  WipeOnExit<StreamState> wipeStream(stream);
  if (crypto_secretstream_xchacha20poly1305_init_pull(&stream, header.streamHeader, streamKey) != 0)
    return kAuthFailed;
  unsigned char digest[kDigestSize];
  crypto_generichash(digest, sizeof digest, layout.headerBytes.data(), layout.headerBytes.size(),
                     nullptr, 0);
  PayloadSeal seal(layout, digest, keys.seal());

  OutputFile out;
  code = out.Create(output, 0600);
  if (code != kOk) return code;
  {
    // The seal over what was read and the write of what it opened to run
    // beside the cipher. Nothing is committed before the seal is checked.
    WriteBehind sink(kOpenedHandOverSize, layout.payloadLength >= kWriteBehindFrom,
                     [&, chunk = uint64_t{0}](const unsigned char* sealed, size_t size) mutable {
                       seal.Update(
                           sealed, size,
                           ProducerDigests(layout, chunk++) ? sealed + kOpenedDigestAt : nullptr);
                       return out.Write(sealed + kPlainAt, size - kChunkOverhead);
                     });
    code = ReadPayload(in, layout, stream, digest, sink);
  }
  if (code != kOk) return code;

  // The receiver's own seal, of everything up to and with the length field.
  unsigned char lengthField[8];
  unsigned char stored[kSealSize];
  const uint64_t sealAt = layout.trailerOffset + 8 + index * kSealSize;
  if (!in.ReadAt(layout.trailerOffset, lengthField, sizeof lengthField) ||
      !in.ReadAt(sealAt, stored, sizeof stored))
    return kReadFailed;
  if (!seal.Matches(lengthField, stored)) return kAuthFailed;
  return out.Commit();
}

}  // namespace orlak
