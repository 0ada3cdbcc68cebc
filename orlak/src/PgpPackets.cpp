#include "PgpPackets.h"

#include <algorithm>
#include <cstring>

namespace orlak::pgp {
namespace {

constexpr char kArmorStart[] = "-----BEGIN PGP ";

}  // namespace

bool ReadPacket(ByteSource& source, uint64_t offset, PacketFrame& header) {
  const uint64_t size = source.Size();
  unsigned char b[6];
  if (offset >= size || !source.ReadAt(offset, b, 1) || (b[0] & 0x80) == 0) return false;
  if ((b[0] & 0x40) == 0) {  // old format
    header.tag = (b[0] >> 2) & 0x0F;
    const unsigned type = b[0] & 3;
    if (type == 3) {  // runs to the end
      header.bodyStart = offset + 1;
      header.bodyEnd = size;
      return true;
    }
    const size_t n = type == 0 ? 1 : type == 1 ? 2 : 4;
    if (!source.ReadAt(offset + 1, b + 1, n)) return false;
    uint64_t length = 0;
    for (size_t i = 1; i <= n; ++i) length = (length << 8) | b[i];
    header.bodyStart = offset + 1 + n;
    header.bodyEnd = header.bodyStart + length;
    return header.bodyEnd <= size;
  }
  header.tag = b[0] & 0x3F;
  uint64_t at = offset + 1;
  header.bodyStart = 0;
  header.partial = false;
  for (;;) {
    if (!source.ReadAt(at, b + 1, 1)) return false;
    const unsigned l1 = b[1];
    uint64_t length;
    size_t lengthBytes = 1;
    bool partial = false;
    if (l1 < 192) {
      length = l1;
    } else if (l1 < 224) {
      if (!source.ReadAt(at + 1, b + 2, 1)) return false;
      length = ((l1 - 192) << 8) + b[2] + 192;
      lengthBytes = 2;
    } else if (l1 == 255) {
      if (!source.ReadAt(at + 1, b + 2, 4)) return false;
      length = (uint64_t{b[2]} << 24) | (uint64_t{b[3]} << 16) | (uint64_t{b[4]} << 8) | b[5];
      lengthBytes = 5;
    } else {
      length = uint64_t{1} << (l1 & 0x1F);
      partial = true;
    }
    if (header.bodyStart == 0) header.bodyStart = at + lengthBytes;
    header.partial = header.partial || partial;
    at += lengthBytes + length;
    if (at > size) return false;
    if (!partial) break;
  }
  header.bodyEnd = at;
  return true;
}

namespace {

// Whether the body's first byte is one that packet of a message can start
// with (a version, an algorithm, a data format): a header that runs to the
// file's end is easily met in other data, a valid first byte behind it less so.
bool PlausibleBody(ByteSource& source, const PacketFrame& packet) {
  unsigned char first = 0;
  if (packet.bodyStart >= packet.bodyEnd) return false;
  if (!source.ReadAt(packet.bodyStart, &first, 1)) return false;
  switch (packet.tag) {
    case kTagPkesk:
      return first == 3 || first == 6;
    case kTagSignature:
      return first >= 3 && first <= 6;
    case kTagSkesk:
      return first >= 4 && first <= 6;
    case kTagOnePass:
      return first == 3 || first == 6;
    case kTagCompressed:
      return first <= 3;
    case kTagSymEncrypted:
      return true;
    case kTagMarker:
      return first == 'P';
    case kTagLiteral:
      return std::strchr("btul1m", first) != nullptr && first != 0;
    case kTagSeipd:
      return first == 1 || first == 2;
    case kTagAead:
      return first == 1;
    default:
      return false;
  }
}

}  // namespace

Kind Classify(ByteSource& source) {
  const uint64_t size = source.Size();
  char start[sizeof kArmorStart - 1];
  // The armor header must be the file's first bytes, as gpg and sq write
  // it; text before it is not looked through.
  if (size >= sizeof start && source.ReadAt(0, start, sizeof start) &&
      std::memcmp(start, kArmorStart, sizeof start) == 0)
    return Kind::kArmored;
  // Binary OpenPGP is a chain of packets that ends exactly at the file's
  // end; one plausible header alone is common in other data.
  for (uint64_t at = 0; at < size;) {
    PacketFrame packet;
    if (!ReadPacket(source, at, packet) || packet.bodyEnd <= at || !PlausibleBody(source, packet))
      return Kind::kNotPgp;
    at = packet.bodyEnd;
  }
  PacketFrame header;
  uint64_t offset = 0;
  if (!ReadPacket(source, offset, header)) return Kind::kNotPgp;
  if (header.tag == kTagMarker) {
    offset = header.bodyEnd;
    if (!ReadPacket(source, offset, header)) return Kind::kNotPgp;
  }
  switch (header.tag) {
    case kTagPkesk:
    case kTagSkesk:
    case kTagSymEncrypted:
    case kTagSeipd:
    case kTagAead:
      return Kind::kEncrypted;
    case kTagSignature:
    case kTagOnePass:
    case kTagCompressed:
    case kTagLiteral:
      return Kind::kBinary;
    default:
      return Kind::kNotPgp;
  }
}

bool IsSignedMessage(ByteSource& source) {
  std::vector<uint8_t> tags;
  uint64_t offset = 0;
  while (offset < source.Size()) {
    PacketFrame header;
    if (!ReadPacket(source, offset, header)) return false;
    if (header.tag != kTagMarker) tags.push_back(header.tag);
    offset = header.bodyEnd;
  }
  if (tags.size() == 1) return tags[0] == kTagCompressed;
  const auto literal = std::find(tags.begin(), tags.end(), kTagLiteral);
  if (literal == tags.end() || literal == tags.begin()) return false;
  const auto before = static_cast<size_t>(literal - tags.begin());
  const size_t after = tags.size() - before - 1;
  auto all = [&](size_t from, size_t to, uint8_t tag) {
    return std::all_of(tags.begin() + static_cast<long>(from), tags.begin() + static_cast<long>(to),
                       [tag](uint8_t t) { return t == tag; });
  };
  if (after == 0) return all(0, before, kTagSignature);
  return after == before && all(0, before, kTagOnePass) &&
         all(before + 1, tags.size(), kTagSignature);
}

bool FindSignedData(ByteSource& source, SignedData& found) {
  if (!IsSignedMessage(source)) return false;
  found = SignedData{};
  bool literalSeen = false;
  for (uint64_t offset = 0; offset < source.Size();) {
    PacketFrame packet;
    if (!ReadPacket(source, offset, packet)) return false;
    const uint64_t length = packet.bodyEnd - packet.bodyStart;
    if (packet.tag == kTagCompressed) return false;
    if (packet.tag == kTagLiteral) {
      unsigned char head[2];
      if (packet.partial || length < 6 || !source.ReadAt(packet.bodyStart, head, 2) ||
          head[0] != 'b' || length < 6u + head[1])
        return false;
      found.dataStart = packet.bodyStart + 2 + head[1] + 4;
      found.dataEnd = packet.bodyEnd;
      literalSeen = true;
    } else if (packet.tag == kTagSignature) {
      std::string bytes(static_cast<size_t>(packet.bodyEnd - offset), '\0');
      SignatureFields fields;
      if (packet.partial || bytes.size() > 64 * 1024 ||
          !source.ReadAt(offset, bytes.data(), bytes.size()) ||
          !ParseSignaturePacket(bytes, fields))
        return false;
      ++found.signatures;
    }
    offset = packet.bodyEnd;
  }
  return literalSeen && found.signatures > 0;
}

bool ParseSignaturePacket(const std::string& packet, SignatureFields& fields) {
  MemorySource source(packet.data(), packet.size());
  PacketFrame header;
  if (!ReadPacket(source, 0, header) || header.tag != kTagSignature ||
      header.bodyEnd != packet.size())
    return false;
  const auto* body = reinterpret_cast<const unsigned char*>(packet.data()) + header.bodyStart;
  const size_t size = header.bodyEnd - header.bodyStart;
  if (size < 1) return false;
  fields = SignatureFields{};
  fields.version = body[0];
  if (fields.version == 3) {
    if (size < 19 || body[1] != 5) return false;
    fields.type = body[2];
    std::memcpy(fields.issuer, body + 7, 8);
    fields.hasIssuer = true;
    fields.publicKeyAlgorithm = body[15];
    fields.hashAlgorithm = body[16];
    return true;
  }
  if (fields.version != 4 || size < 6) return false;
  fields.type = body[1];
  fields.publicKeyAlgorithm = body[2];
  fields.hashAlgorithm = body[3];
  // Hashed, then unhashed subpackets: the issuer may stand in either.
  size_t at = 4;
  for (int area = 0; area < 2; ++area) {
    if (at + 2 > size) return false;
    const size_t areaEnd = at + 2 + ((size_t{body[at]} << 8) | body[at + 1]);
    at += 2;
    if (areaEnd > size) return false;
    while (at < areaEnd) {
      size_t length = body[at];
      size_t lengthBytes = 1;
      if (length >= 192 && length < 255) {
        if (at + 1 >= areaEnd) return false;
        length = ((length - 192) << 8) + body[at + 1] + 192;
        lengthBytes = 2;
      } else if (length == 255) {
        if (at + 5 > areaEnd) return false;
        length = (size_t{body[at + 1]} << 24) | (size_t{body[at + 2]} << 16) |
                 (size_t{body[at + 3]} << 8) | body[at + 4];
        lengthBytes = 5;
      }
      at += lengthBytes;
      if (length == 0 || length > areaEnd - at) return false;
      const uint8_t type = body[at] & 0x7F;
      const unsigned char* data = body + at + 1;
      const size_t dataSize = length - 1;
      if (type == 16 && dataSize == 8 && !fields.hasIssuer) {
        std::memcpy(fields.issuer, data, 8);
        fields.hasIssuer = true;
      } else if (type == 33 && dataSize == 21 && data[0] == 4 && !fields.hasIssuer) {
        std::memcpy(fields.issuer, data + 13, 8);  // a v4 key ID ends its fingerprint
        fields.hasIssuer = true;
      }
      at += length;
    }
  }
  return true;
}

bool ReadMpi(const std::string& body, size_t& at, std::string_view& magnitude) {
  if (at + 2 > body.size()) return false;
  const size_t bytes =
      ((static_cast<uint8_t>(body[at]) << 8 | static_cast<uint8_t>(body[at + 1])) + 7) / 8;
  if (bytes > body.size() - at - 2) return false;
  magnitude = std::string_view(body).substr(at + 2, bytes);
  at += 2 + bytes;
  return true;
}

std::string BigEndian(uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

std::string OnePassPacket(const SignatureFields& fields, bool last) {
  std::string packet = {'\xC4',
                        13,
                        3,
                        static_cast<char>(fields.type),
                        static_cast<char>(fields.hashAlgorithm),
                        static_cast<char>(fields.publicKeyAlgorithm)};
  packet.append(reinterpret_cast<const char*>(fields.issuer), 8);
  packet.push_back(last ? 1 : 0);
  return packet;
}

std::string LiteralHeader(const std::string& fileName, uint32_t time, uint64_t length) {
  const std::string name = fileName.substr(0, 255);
  const uint64_t body = 1 + 1 + name.size() + 4 + length;
  return "\xCB\xFF" + BigEndian(body, 4) + 'b' + static_cast<char>(name.size()) + name +
         BigEndian(time, 4);
}

}  // namespace orlak::pgp
