// The OpenPGP packet framing (RFC 4880, section 4.2), as far as the library
// needs it without RNP: telling an OpenPGP message from other bytes, walking
// the top level of a binary message, reading the fields of a signature
// packet, and writing the one-pass signature and literal data packets that
// put a decrypted message back together around its signatures.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ByteSource.h"

namespace orlak::pgp {

enum Tag : uint8_t {
  kTagPkesk = 1,
  kTagSignature = 2,
  kTagSkesk = 3,
  kTagOnePass = 4,
  kTagSecretKey = 5,
  kTagPublicKey = 6,
  kTagCompressed = 8,
  kTagSymEncrypted = 9,  // encrypted without integrity protection
  kTagMarker = 10,
  kTagLiteral = 11,
  kTagUserId = 13,
  kTagSeipd = 18,
  kTagAead = 20,
};

// One packet's frame: its tag and where its body lies. A body in partial
// lengths (only data packets have them) runs over their length octets.
struct PacketFrame {
  uint8_t tag = 0;
  uint64_t bodyStart = 0;
  uint64_t bodyEnd = 0;  // after the last byte of the body
  bool partial = false;  // the body is in partial lengths
};
// The packet at offset, partial body lengths followed to their end.
bool ReadPacket(ByteSource& source, uint64_t offset, PacketFrame& frame);

enum class Kind {
  kNotPgp,     // neither a packet the library reads first nor an armor header
  kArmored,    // "-----BEGIN PGP ..." at the start
  kEncrypted,  // a binary message that starts with an encrypted session key or data
  kBinary,     // a binary message of some other kind (signed, compressed, literal)
};

// Looks at the first bytes only: cheap, and enough to route a file to the
// OpenPGP code, which then reads it properly.
Kind Classify(ByteSource& source);

// True when the whole source is a binary signed message at its top level:
// one-pass signatures, literal data and signatures, signatures before
// literal data, or one compressed packet (gpg compresses what it signs),
// each packet's length adding up to exactly the source's size.
bool IsSignedMessage(ByteSource& source);

// Where the data of a plain signed message lies: one-pass signatures, binary
// literal data in one definite length, and as many signatures (or the
// signatures before the data), every signature packet readable. False for
// any other form (compressed, text mode, partial lengths), which RNP reads.
struct SignedData {
  uint64_t dataStart = 0, dataEnd = 0;
  size_t signatures = 0;
};
bool FindSignedData(ByteSource& source, SignedData& found);

struct SignatureFields {
  uint8_t version = 0;
  uint8_t type = 0;
  uint8_t publicKeyAlgorithm = 0;
  uint8_t hashAlgorithm = 0;
  uint8_t issuer[8] = {};  // the key ID of the signing key
  bool hasIssuer = false;
};

// Reads a whole signature packet (header and body); false when it is not one.
bool ParseSignaturePacket(const std::string& packet, SignatureFields& fields);

// The magnitude of the multiprecision integer (RFC 4880, section 3.2) at
// offset at of a packet body, big-endian; at moves past it. False when the
// body ends inside it.
bool ReadMpi(const std::string& body, size_t& at, std::string_view& magnitude);

// The low bytes of value, most significant first (OpenPGP's numbers).
std::string BigEndian(uint64_t value, int bytes);

// A version-3 one-pass signature packet announcing the signature; last is
// set on the one written right before the literal data.
std::string OnePassPacket(const SignatureFields& fields, bool last);
// The header of a binary literal data packet of length bytes (up to
// kMaxLiteralLength); the data follows it.
std::string LiteralHeader(const std::string& fileName, uint32_t time, uint64_t length);
inline constexpr uint64_t kMaxLiteralLength = 0xFFFFFFFFull - 6 - 255;

}  // namespace orlak::pgp
