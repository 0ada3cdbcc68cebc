#include "HandMadeFiles.h"

#include <sodium.h>

#include <cstring>
#include <stdexcept>

#include "Bytes.h"
#include "EncFormat.h"
#include "FileKeys.h"
#include "PayloadDigest.h"
#include "ReceiverKeys.h"

namespace orlak_test {
namespace {

using orlak::kEncVersion1;
using StreamState = crypto_secretstream_xchacha20poly1305_state;
constexpr size_t kHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
std::string Text(const unsigned char* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}

// Version 1 streams under the file key, version 2 under a key derived from it.
Key32 StreamKey(unsigned char version, const Key32& fileKey) {
  if (version == kEncVersion1) return fileKey;
  const orlak::FileKeys keys(fileKey.data());
  Key32 key;
  std::memcpy(key.data(), keys.stream(), key.size());
  return key;
}

struct Header {
  std::vector<unsigned char> bytes;
  std::vector<Key32> sealKeys;
  unsigned char digest[orlak::kDigestSize];
};

// Entry j wraps fileKeys[j]; version 2 commits to fileKeys[committed].
Header MakeHeader(unsigned char version, const orlak::SecretKey& sender,
                  const std::vector<orlak::PublicKey>& receivers,
                  const std::vector<Key32>& fileKeys, size_t committed,
                  const unsigned char* streamHeader) {
  orlak::EncHeader header;
  header.version = version;
  randombytes_buf(header.salt, sizeof header.salt);
  std::memcpy(header.streamHeader, streamHeader, kHeaderBytes);
  header.senderId = sender.pub.id;
  std::memcpy(header.senderSignPk, sender.pub.signPk, sizeof header.senderSignPk);
  std::memcpy(header.senderBoxPk, sender.pub.boxPk, sizeof header.senderBoxPk);
  unsigned char fixed[orlak::kHeaderFixedSize];
  orlak::EncodeHeaderFixed(header, receivers.size(), fixed);
  Header made;
  for (size_t j = 0; j < receivers.size(); ++j) {
    orlak::ReceiverEntry entry;
    entry.id = receivers[j].id;
    std::memcpy(entry.boxPk, receivers[j].boxPk, sizeof entry.boxPk);
    randombytes_buf(entry.nonce, sizeof entry.nonce);
    orlak::PairKeys keys;
    if (orlak::DerivePairKeys(version, sender.boxSk(), entry.boxPk, sender.pub.boxPk, entry.boxPk,
                              header.salt, static_cast<uint16_t>(j), keys) != 0)
      throw std::runtime_error("a receiver's key is of small order");
    unsigned char entryBytes[orlak::kEntrySize] = {};
    orlak::EncodeEntry(entry, entryBytes);
    unsigned char ad[orlak::kWrapAssociatedDataSize];
    orlak::WrapAssociatedData(fixed, entryBytes, ad);
    crypto_aead_xchacha20poly1305_ietf_encrypt(entry.wrappedKey, nullptr, fileKeys[j].data(), 32,
                                               ad, sizeof ad, nullptr, entry.nonce, keys.wrap());
    header.receivers.push_back(entry);
    Key32 seal;
    std::memcpy(seal.data(), keys.seal(), seal.size());
    made.sealKeys.push_back(seal);
  }
  made.bytes = orlak::EncodeHeader(header);
  if (version != kEncVersion1) {
    const size_t size = orlak::CommittedSize(receivers.size());
    orlak::FileKeys(fileKeys[committed].data())
        .Commitment(made.bytes.data(), size, made.bytes.data() + size);
  }
  crypto_generichash(made.digest, sizeof made.digest, made.bytes.data(), made.bytes.size(), nullptr,
                     0);
  return made;
}

// Header, payload and trailer, each receiver's seal made with its own key.
std::string Assemble(unsigned char version, const Header& header, const std::string& payload) {
  std::string file = Text(header.bytes.data(), header.bytes.size()) + payload;
  unsigned char length[8];
  orlak::PutU64(length, payload.size());
  std::string trailer = Text(length, sizeof length);
  unsigned char digest[orlak::kDigestSize];
  if (version != kEncVersion1) {
    orlak::PayloadDigest payloadDigest(header.digest);
    for (size_t at = 0; at < payload.size(); at += orlak::kSealedChunkSize)
      payloadDigest.AddChunk(Bytes(payload) + at,
                             std::min(orlak::kSealedChunkSize, payload.size() - at));
    payloadDigest.Finish(length, digest);
  }
  for (const Key32& key : header.sealKeys) {
    unsigned char seal[orlak::kSealSize];
    if (version == kEncVersion1) {
      // Poly1305 of everything in front of the seals.
      crypto_onetimeauth_state state;
      crypto_onetimeauth_init(&state, key.data());
      crypto_onetimeauth_update(&state, Bytes(file), file.size());
      crypto_onetimeauth_update(&state, length, sizeof length);
      crypto_onetimeauth_final(&state, seal);
    } else {
      orlak::SealDigest(key.data(), digest, seal);
    }
    trailer += Text(seal, sizeof seal);
  }
  return file + trailer + "ORLAKEND";
}

// Poly1305's field, numbers modulo 2^130 - 5, in five limbs of 26 bits.
class Field {
 public:
  // r of a Poly1305 key, clamped as Poly1305 does.
  static Field FromKey(const unsigned char* key) {
    unsigned char r[16];
    std::memcpy(r, key, 16);
    for (int i : {3, 7, 11, 15}) r[i] &= 15;
    for (int i : {4, 8, 12}) r[i] &= 252;
    return FromBytes(r, 16, false);
  }
  static Field FromBytes(const unsigned char* bytes, size_t size, bool topBit) {
    Field f;
    for (size_t bit = 0; bit < 8 * size; ++bit)
      if (bytes[bit / 8] >> (bit % 8) & 1) f.limb_[bit / 26] |= uint64_t{1} << (bit % 26);
    if (topBit) f.limb_[128 / 26] |= uint64_t{1} << (128 % 26);
    return f;
  }
  // The 17 little-endian bytes of the value, reduced below 2^130 - 5.
  std::array<unsigned char, 17> ToBytes() const {
    Field f = *this;
    f.Normalize();
    // f >= p exactly when f + 5 reaches 2^130.
    Field g = f;
    g.limb_[0] += 5;
    g.Carry(false);
    if (g.limb_[4] >> 26) {
      g.limb_[4] &= kMask;
      f = g;
    }
    std::array<unsigned char, 17> out{};
    for (size_t bit = 0; bit < 130; ++bit)
      if (f.limb_[bit / 26] >> (bit % 26) & 1) out[bit / 8] |= 1 << (bit % 8);
    return out;
  }
  friend Field operator+(Field a, const Field& b) {
    for (int i = 0; i < 5; ++i) a.limb_[i] += b.limb_[i];
    a.Carry();
    return a;
  }
  friend Field operator-(Field a, Field b) {
    // a + 2p - b, limb by limb; b's limbs are below 2^26 after a carry.
    b.Carry();
    static constexpr uint64_t kTwiceP[5] = {2 * 0x3fffffb, 2 * kMask, 2 * kMask, 2 * kMask,
                                            2 * kMask};
    for (int i = 0; i < 5; ++i) a.limb_[i] += kTwiceP[i] - b.limb_[i];
    a.Carry();
    return a;
  }
  friend Field operator*(Field a, Field b) {
    a.Carry();
    b.Carry();
    const uint64_t* x = a.limb_;
    const uint64_t* y = b.limb_;
    // 2^130 = 5 modulo p: products past the top limb fold back times 5.
    Field r;
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j) r.limb_[(i + j) % 5] += x[i] * y[j] * (i + j >= 5 ? 5 : 1);
    r.Carry();
    return r;
  }
  Field Power(const std::array<unsigned char, 17>& exponent) const {
    Field result = FromBytes(reinterpret_cast<const unsigned char*>("\x01"), 1, false);
    for (int bit = 8 * 17 - 1; bit >= 0; --bit) {
      result = result * result;
      if (exponent[bit / 8] >> (bit % 8) & 1) result = result * *this;
    }
    return result;
  }
  Field Inverse() const {
    std::array<unsigned char, 17> pMinus2{};  // 2^130 - 7
    pMinus2.fill(0xff);
    pMinus2[0] = 0xf9;
    pMinus2[16] = 0x03;
    return Power(pMinus2);
  }

 private:
  static constexpr uint64_t kMask = (uint64_t{1} << 26) - 1;
  void Carry(bool wrap = true) {
    for (int i = 0; i < 4; ++i) {
      limb_[i + 1] += limb_[i] >> 26;
      limb_[i] &= kMask;
    }
    if (!wrap) return;
    const uint64_t over = limb_[4] >> 26;
    limb_[4] &= kMask;
    limb_[0] += over * 5;
    limb_[1] += limb_[0] >> 26;
    limb_[0] &= kMask;
  }
  // Every limb below 2^26, so the value is below 2^130.
  void Normalize() {
    for (;;) {
      Carry();
      bool done = true;
      for (uint64_t limb : limb_) done = done && limb <= kMask;
      if (done) return;
    }
  }
  uint64_t limb_[5] = {};
};

// What a secretstream key gives for its first chunk: the Poly1305 key and
// the keystream of block 1 (which covers the tag) and of the message.
struct FirstChunkKeys {
  unsigned char polyKey[32];
  unsigned char tagBlock[64];
  std::vector<unsigned char> messageStream;
};

FirstChunkKeys ChunkKeys(const Key32& streamKey, const unsigned char* streamHeader, size_t size) {
  // As crypto_secretstream_xchacha20poly1305 does: an HChaCha20 subkey from
  // the header's first 16 bytes, a nonce of counter 1 and its last 8 bytes.
  unsigned char subkey[32], nonce[12] = {1, 0, 0, 0};
  crypto_core_hchacha20(subkey, streamHeader, streamKey.data(), nullptr);
  std::memcpy(nonce + 4, streamHeader + 16, 8);
  FirstChunkKeys keys;
  unsigned char block0[64];
  crypto_stream_chacha20_ietf(block0, sizeof block0, nonce, subkey);
  std::memcpy(keys.polyKey, block0, 32);
  const unsigned char zeros[64] = {};
  crypto_stream_chacha20_ietf_xor_ic(keys.tagBlock, zeros, 64, nonce, 1, subkey);
  keys.messageStream.assign(size, 0);
  crypto_stream_chacha20_ietf_xor_ic(keys.messageStream.data(), keys.messageStream.data(), size,
                                     nonce, 2, subkey);
  return keys;
}

// The bytes a chunk's Poly1305 covers: additional data, the tag block,
// the ciphertext, the lengths (all whole 16-byte blocks here).
std::string MacInput(const unsigned char* ad, const FirstChunkKeys& keys, unsigned char tagByte,
                     const std::string& cipher) {
  unsigned char block[64];
  std::memcpy(block, keys.tagBlock, 64);
  block[0] = tagByte;
  unsigned char lengths[16];
  orlak::PutU64(lengths, orlak::kDigestSize);
  orlak::PutU64(lengths + 8, 64 + cipher.size());
  return Text(ad, orlak::kDigestSize) + Text(block, 64) + cipher + Text(lengths, 16);
}

// One FINAL chunk whose Poly1305 tag is right under both keys: the
// ciphertext's middle block solves tag1 = tag2, a linear equation modulo
// 2^130 - 5 in that block, since both tags are polynomials in it. A
// solution must fit 16 bytes and must not wrap the sum modulo p, so the other
// blocks are drawn again until one does.
std::string TwoKeyChunk(const unsigned char* ad, const FirstChunkKeys& one,
                        const FirstChunkKeys& two, unsigned char tagByte) {
  constexpr size_t kBlocks = 3, kFree = 1;
  const size_t macBlocks = (orlak::kDigestSize + 64 + 16 * kBlocks + 16) / 16;
  const size_t freeAt = (orlak::kDigestSize + 64) / 16 + kFree;  // block index in the MAC input
  std::array<unsigned char, 17> exponent{};
  exponent[0] = static_cast<unsigned char>(macBlocks - freeAt);
  const Field r1 = Field::FromKey(one.polyKey).Power(exponent);
  const Field r2 = Field::FromKey(two.polyKey).Power(exponent);
  const Field inverse = (r1 - r2).Inverse();
  // d = s2 - s1 modulo 2^128: then tag1 = tag2 when h1 = h2 + d.
  unsigned char d[16];
  unsigned borrow = 0;
  for (int i = 0; i < 16; ++i) {
    const int v = two.polyKey[16 + i] - one.polyKey[16 + i] - static_cast<int>(borrow);
    d[i] = static_cast<unsigned char>(v);
    borrow = v < 0;
  }
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string cipher(16 * kBlocks, '\0');
    randombytes_buf(cipher.data(), cipher.size());
    std::memset(cipher.data() + 16 * kFree, 0, 16);
    // h with the free block zero; the block adds block * r^exponent.
    auto h = [&](const FirstChunkKeys& keys) {
      const std::string input = MacInput(ad, keys, tagByte, cipher);
      const Field r = Field::FromKey(keys.polyKey);
      Field acc;
      for (size_t at = 0; at < input.size(); at += 16)
        acc = (acc + Field::FromBytes(Bytes(input) + at, 16, true)) * r;
      return acc;
    };
    const Field x = (Field::FromBytes(d, 16, false) - h(one) + h(two)) * inverse;
    const std::array<unsigned char, 17> block = x.ToBytes();
    if (block[16] != 0) continue;  // does not fit 16 bytes
    std::memcpy(cipher.data() + 16 * kFree, block.data(), 16);
    unsigned char tag1[16], tag2[16];
    const std::string in1 = MacInput(ad, one, tagByte, cipher);
    const std::string in2 = MacInput(ad, two, tagByte, cipher);
    crypto_onetimeauth(tag1, Bytes(in1), in1.size(), one.polyKey);
    crypto_onetimeauth(tag2, Bytes(in2), in2.size(), two.polyKey);
    if (std::memcmp(tag1, tag2, 16) != 0) continue;  // the sum wrapped modulo p
    return Text(&tagByte, 1) + cipher + Text(tag1, 16);
  }
  throw std::runtime_error("no chunk opens under both keys");
}

std::string Xor(const std::string& cipher, const std::vector<unsigned char>& stream) {
  std::string out = cipher;
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ stream[i]);
  return out;
}

}  // namespace

Key32 RandomKey() {
  Key32 key;
  randombytes_buf(key.data(), key.size());
  return key;
}

std::string HandMadeFile(unsigned char version, const orlak::SecretKey& sender,
                         const std::vector<orlak::PublicKey>& receivers, const std::string& plain) {
  const Key32 fileKey = RandomKey();
  const Key32 streamKey = StreamKey(version, fileKey);
  StreamState stream;
  unsigned char streamHeader[kHeaderBytes];
  crypto_secretstream_xchacha20poly1305_init_push(&stream, streamHeader, streamKey.data());
  const Header header = MakeHeader(version, sender, receivers,
                                   std::vector<Key32>(receivers.size(), fileKey), 0, streamHeader);
  std::string payload;
  size_t at = 0;
  do {
    const size_t size = std::min(orlak::kChunkSize, plain.size() - at);
    const bool last = at + size == plain.size();
    std::string sealed(size + orlak::kChunkOverhead, '\0');
    crypto_secretstream_xchacha20poly1305_push(
        &stream, reinterpret_cast<unsigned char*>(sealed.data()), nullptr, Bytes(plain) + at, size,
        header.digest, sizeof header.digest,
        last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
             : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
    payload += sealed;
    at += size;
    if (last) break;
  } while (true);
  return Assemble(version, header, payload);
}

DishonestFile MakeDishonestFile(unsigned char version, const orlak::SecretKey& sender,
                                const orlak::PublicKey& first, const orlak::PublicKey& second,
                                size_t committedTo) {
  constexpr size_t kMessage = 48;
  DishonestFile made;
  unsigned char streamHeader[kHeaderBytes];
  randombytes_buf(streamHeader, sizeof streamHeader);
  made.firstKey = RandomKey();
  const FirstChunkKeys one = ChunkKeys(StreamKey(version, made.firstKey), streamHeader, kMessage);
  // Both streams must read the chunk's tag byte as FINAL: a second key whose
  // keystream agrees with the first's on that byte, one in 256.
  FirstChunkKeys two;
  do {
    made.secondKey = RandomKey();
    two = ChunkKeys(StreamKey(version, made.secondKey), streamHeader, kMessage);
  } while (two.tagBlock[0] != one.tagBlock[0]);
  const Header header = MakeHeader(version, sender, {first, second},
                                   {made.firstKey, made.secondKey}, committedTo, streamHeader);
  const unsigned char tagByte = crypto_secretstream_xchacha20poly1305_TAG_FINAL ^ one.tagBlock[0];
  const std::string chunk = TwoKeyChunk(header.digest, one, two, tagByte);
  const std::string cipher = chunk.substr(1, kMessage);
  made.firstPlain = Xor(cipher, one.messageStream);
  made.secondPlain = Xor(cipher, two.messageStream);
  made.bytes = Assemble(version, header, chunk);
  return made;
}

}  // namespace orlak_test
