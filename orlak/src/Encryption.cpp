#include "Encryption.h"

#include <cstring>

#include "Bytes.h"
#include "Codes.h"
#include "EncFormat.h"
#include "Files.h"
#include "ReceiverKeys.h"

namespace orlak {
namespace {

using SealState = crypto_onetimeauth_state;

void UpdateSeals(SealState* seals, size_t count, const unsigned char* data, size_t size) {
  for (size_t i = 0; i < count; ++i) crypto_onetimeauth_update(&seals[i], data, size);
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
  randombytes_buf(header.salt, sizeof header.salt);
  header.senderId = sender.pub.id;
  std::memcpy(header.senderSignPk, sender.pub.signPk, sizeof header.senderSignPk);
  std::memcpy(header.senderBoxPk, sender.pub.boxPk, sizeof header.senderBoxPk);

  WipedBytes<kFileKeySize> fileKey;
  crypto_secretstream_xchacha20poly1305_keygen(fileKey.data());
  crypto_secretstream_xchacha20poly1305_state stream;
  WipeOnExit<crypto_secretstream_xchacha20poly1305_state> wipeStream(stream);
  crypto_secretstream_xchacha20poly1305_init_push(&stream, header.streamHeader, fileKey.data());

  unsigned char fixed[kHeaderFixedSize];
  EncodeHeaderFixed(header, count, fixed);
  std::vector<SealState> sealStates(count);
  SealState* seals = sealStates.data();
  struct WipeSeals {
    std::vector<SealState>& states;
    ~WipeSeals() { sodium_memzero(states.data(), states.size() * sizeof(SealState)); }
  } wipeSeals{sealStates};
  header.receivers.resize(count);
  for (size_t i = 0; i < count; ++i) {
    ReceiverEntry& entry = header.receivers[i];
    entry.id = receivers[i].id;
    std::memcpy(entry.boxPk, receivers[i].boxPk, sizeof entry.boxPk);
    randombytes_buf(entry.nonce, sizeof entry.nonce);
    PairKeys keys;
    code = DerivePairKeys(sender.boxSk(), entry.boxPk, sender.pub.boxPk, entry.boxPk, header.salt,
                          static_cast<uint16_t>(i), keys);
    if (code != kOk) return code;
    unsigned char entryBytes[kEntrySize] = {};
    EncodeEntry(entry, entryBytes);
    unsigned char ad[kWrapAssociatedDataSize];
    WrapAssociatedData(fixed, entryBytes, ad);
    crypto_aead_xchacha20poly1305_ietf_encrypt(entry.wrappedKey, nullptr, fileKey.data(),
                                               kFileKeySize, ad, sizeof ad, nullptr, entry.nonce,
                                               keys.wrap());
    crypto_onetimeauth_init(&seals[i], keys.seal());
  }
  const std::vector<unsigned char> headerBytes = EncodeHeader(header);
  unsigned char digest[32];
  crypto_generichash(digest, sizeof digest, headerBytes.data(), headerBytes.size(), nullptr, 0);

  OutputFile out;
  code = out.Create(output, 0666);
  if (code != kOk) return code;
  code = out.Write(headerBytes.data(), headerBytes.size());
  if (code != kOk) return code;
  UpdateSeals(seals, count, headerBytes.data(), headerBytes.size());

  // Each chunk is read one ahead, so the last one can carry the final tag.
  std::vector<unsigned char> current(kChunkSize), next(kChunkSize), sealed(kSealedChunkSize);
  ssize_t currentSize = in.Read(current.data(), kChunkSize);
  uint64_t payloadLength = 0;
  for (;;) {
    if (currentSize < 0) return kReadFailed;
    ssize_t nextSize = 0;
    if (static_cast<size_t>(currentSize) == kChunkSize) {
      nextSize = in.Read(next.data(), kChunkSize);
      if (nextSize < 0) return kReadFailed;
    }
    const bool last = nextSize == 0;
    unsigned long long sealedSize = 0;
    crypto_secretstream_xchacha20poly1305_push(
        &stream, sealed.data(), &sealedSize, current.data(), static_cast<size_t>(currentSize),
        digest, sizeof digest,
        last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
             : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
    code = out.Write(sealed.data(), sealedSize);
    if (code != kOk) return code;
    UpdateSeals(seals, count, sealed.data(), sealedSize);
    payloadLength += sealedSize;
    if (last) break;
    current.swap(next);
    currentSize = nextSize;
  }

  std::vector<unsigned char> trailer(TrailerSize(count));
  PutU64(trailer.data(), payloadLength);
  UpdateSeals(seals, count, trailer.data(), 8);
  for (size_t i = 0; i < count; ++i)
    crypto_onetimeauth_final(&seals[i], trailer.data() + 8 + i * kSealSize);
  EncodeTrailerEnd(trailer.data() + trailer.size() - 8);
  code = out.Write(trailer.data(), trailer.size());
  if (code != kOk) return code;
  return out.Commit();
}

}  // namespace orlak
