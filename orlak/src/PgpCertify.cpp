#include "PgpCertify.h"

#include <sodium.h>

#include <vector>

#include "Codes.h"
#include "PgpPackets.h"

namespace orlak::pgp {
namespace {

constexpr uint8_t kAlgorithmEdDsa = 22, kHashSha256 = 8, kGenericCertification = 0x10;
// The OID of Ed25519 in a legacy EdDSA key packet.
const std::string kEd25519Oid = "\x2B\x06\x01\x04\x01\xDA\x47\x0F\x01";

struct Packet {
  uint8_t tag = 0;
  std::string body;
};

// The packets of a binary key export.
bool SplitPackets(const std::string& bytes, std::vector<Packet>& packets) {
  MemorySource source(bytes.data(), bytes.size());
  for (uint64_t at = 0; at < bytes.size();) {
    PacketFrame frame;
    if (!ReadPacket(source, at, frame)) return false;
    packets.push_back({frame.tag, bytes.substr(frame.bodyStart, frame.bodyEnd - frame.bodyStart)});
    at = frame.bodyEnd;
  }
  return true;
}

std::string Be(uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

// A new-format packet.
std::string Framed(uint8_t tag, const std::string& body) {
  std::string out(1, static_cast<char>(0xC0 | tag));
  if (body.size() < 192)
    out.push_back(static_cast<char>(body.size()));
  else
    out += "\xFF" + Be(body.size(), 4);
  return out + body;
}

std::string Mpi(const unsigned char* bytes, size_t size) {
  while (size > 0 && bytes[0] == 0) ++bytes, --size;
  size_t bits = size * 8;
  if (size > 0)
    for (unsigned char top = bytes[0]; (top & 0x80) == 0; top <<= 1) --bits;
  return Be(bits, 2) + std::string(reinterpret_cast<const char*>(bytes), size);
}

// The Ed25519 seed of an unprotected legacy EdDSA secret key packet.
bool Ed25519Seed(const std::string& body, unsigned char seed[32]) {
  // version 4, creation time, algorithm, OID, public point MPI, then the
  // s2k usage (0: unprotected), the secret MPI and its checksum.
  if (body.size() < 6 || body[0] != 4 || static_cast<uint8_t>(body[5]) != kAlgorithmEdDsa)
    return false;
  size_t at = 6;
  const size_t oidLength = static_cast<uint8_t>(body[at]);
  if (body.compare(at + 1, oidLength, kEd25519Oid) != 0) return false;
  at += 1 + oidLength;
  if (at + 2 > body.size()) return false;
  const size_t pointBytes =
      ((static_cast<uint8_t>(body[at]) << 8 | static_cast<uint8_t>(body[at + 1])) + 7) / 8;
  at += 2 + pointBytes;
  if (at + 3 > body.size() || body[at] != 0) return false;
  ++at;
  const size_t secretBytes =
      ((static_cast<uint8_t>(body[at]) << 8 | static_cast<uint8_t>(body[at + 1])) + 7) / 8;
  at += 2;
  if (secretBytes > 32 || at + secretBytes > body.size()) return false;
  std::memset(seed, 0, 32);
  std::memcpy(seed + 32 - secretBytes, body.data() + at, secretBytes);
  return true;
}

std::string Export(rnp_key_handle_t key, uint32_t flags) {
  rnp::Output out = rnp::MemoryOutput();
  if (!out || rnp_key_export(key, out.get(), flags) != RNP_SUCCESS) return {};
  return rnp::MemoryBytes(out.get());
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

}  // namespace

uint16_t CertifiedPublicKey(const KeyFile& signer, const KeyFile& subject, int64_t now,
                            std::string& armored) {
  rnp::Key own = rnp::FindByFingerprint(signer.secret.get(), signer.fingerprint);
  rnp::Key theirs = PublicKeyOf(subject);
  if (!own || !theirs) return kKeyNotFound;
  uint16_t code = CheckUsable(own.get(), "sign");
  if (code != kOk) return code;
  std::string secretBytes = Export(own.get(), RNP_KEY_EXPORT_SECRET);
  std::vector<Packet> secretPackets;
  unsigned char seed[32];
  const bool seedRead = SplitPackets(secretBytes, secretPackets) && !secretPackets.empty() &&
                        secretPackets[0].tag == kTagSecretKey &&
                        Ed25519Seed(secretPackets[0].body, seed);
  sodium_memzero(secretBytes.data(), secretBytes.size());
  for (Packet& p : secretPackets) sodium_memzero(p.body.data(), p.body.size());
  if (!seedRead) return kKeyCapabilityMissing;
  unsigned char publicKey[32], secretKey[64];
  crypto_sign_ed25519_seed_keypair(publicKey, secretKey, seed);
  sodium_memzero(seed, sizeof seed);

  std::vector<Packet> packets;
  if (!SplitPackets(Export(theirs.get(), RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS),
                    packets) ||
      packets.empty() || packets[0].tag != kTagPublicKey) {
    sodium_memzero(secretKey, sizeof secretKey);
    return kPublicKeyDamaged;
  }
  const std::string issuer = FromHex(signer.fingerprint);
  // Hashed: creation time, issuer fingerprint; unhashed: issuer key ID.
  const std::string hashed = Be(5, 1) + Be(2, 1) + Be(static_cast<uint64_t>(now), 4) +
                             Be(issuer.size() + 2, 1) + Be(33, 1) + Be(4, 1) + issuer;
  const std::string head =
      std::string{4, static_cast<char>(kGenericCertification), static_cast<char>(kAlgorithmEdDsa),
                  static_cast<char>(kHashSha256)} +
      Be(hashed.size(), 2) + hashed;
  const std::string unhashed = Be(9, 1) + Be(16, 1) + issuer.substr(issuer.size() - 8);
  std::string out;
  for (size_t i = 0; i < packets.size(); ++i) {
    out += Framed(packets[i].tag, packets[i].body);
    if (packets[i].tag != kTagUserId) continue;
    const std::string& key = packets[0].body;
    const std::string& uid = packets[i].body;
    const std::string hashedData = "\x99" + Be(key.size(), 2) + key + "\xB4" + Be(uid.size(), 4) +
                                   uid + head + "\x04\xFF" + Be(head.size(), 4);
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(hashedData.data()),
                       hashedData.size());
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, digest, sizeof digest, secretKey);
    const std::string body = head + Be(unhashed.size(), 2) + unhashed +
                             std::string(reinterpret_cast<const char*>(digest), 2) +
                             Mpi(signature, 32) + Mpi(signature + 32, 32);
    // The self-signature follows the user ID; the certification goes after it.
    if (i + 1 < packets.size() && packets[i + 1].tag == kTagSignature)
      out += Framed(kTagSignature, packets[++i].body);
    out += Framed(kTagSignature, body);
  }
  sodium_memzero(secretKey, sizeof secretKey);
  // Read back through RNP, which checks what was built, and armored.
  rnp::Ffi ring = rnp::NewFfi();
  rnp::Input input = rnp::InputOfMemory(out.data(), out.size());
  if (!ring || !input ||
      rnp_import_keys(ring.get(), input.get(), RNP_LOAD_SAVE_PUBLIC_KEYS, nullptr) != RNP_SUCCESS)
    return kCryptoFailure;
  rnp::Key made = rnp::FindByFingerprint(ring.get(), subject.fingerprint);
  if (!made) return kCryptoFailure;
  armored =
      Export(made.get(), RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS | RNP_KEY_EXPORT_ARMORED);
  return armored.empty() ? kCryptoFailure : kOk;
}

}  // namespace orlak::pgp
