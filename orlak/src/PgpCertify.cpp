#include "PgpCertify.h"

#include <sodium.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "Codes.h"
#include "PgpPackets.h"
#include "PgpRsaSign.h"
#include "Secret.h"

namespace orlak::pgp {
namespace {

constexpr uint8_t kAlgorithmRsa = 1, kAlgorithmEdDsa = 22, kHashSha256 = 8,
                  kGenericCertification = 0x10;
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

// A new-format packet.
std::string Framed(uint8_t tag, const std::string& body) {
  std::string out(1, static_cast<char>(0xC0 | tag));
  if (body.size() < 192)
    out.push_back(static_cast<char>(body.size()));
  else
    out += "\xFF" + BigEndian(body.size(), 4);
  return out + body;
}

std::string Mpi(const unsigned char* bytes, size_t size) {
  while (size > 0 && bytes[0] == 0) ++bytes, --size;
  size_t bits = size * 8;
  if (size > 0)
    for (unsigned char top = bytes[0]; (top & 0x80) == 0; top <<= 1) --bits;
  return BigEndian(bits, 2) + std::string(reinterpret_cast<const char*>(bytes), size);
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
  std::string_view point, secret;
  if (!ReadMpi(body, at, point) || at >= body.size() || body[at++] != 0 ||
      !ReadMpi(body, at, secret) || secret.size() > 32)
    return false;
  std::memset(seed, 0, 32);
  std::memcpy(seed + 32 - secret.size(), secret.data(), secret.size());
  return true;
}

// The certifying key's primary secret key, signing the certifications'
// digests: Ed25519 with libsodium, RSA with OpenSSL. Its secret material is
// wiped when it goes.
class DigestSigner {
 public:
  // False when the body is no unprotected Ed25519 or RSA key.
  bool Load(const std::string& body) {
    if (body.size() < 6) return false;
    algorithm_ = static_cast<uint8_t>(body[5]);
    if (algorithm_ == kAlgorithmRsa) return (rsa_ = RsaSecretKey(body)) != nullptr;
    WipedBytes<32> seed;
    if (!Ed25519Seed(body, seed.data())) return false;
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_ed25519_seed_keypair(publicKey, ed25519_.data(), seed.data());
    return true;
  }
  uint8_t algorithm() const { return algorithm_; }
  // The signature's MPIs over a SHA-256 digest; empty when signing failed.
  std::string Sign(const unsigned char digest[32]) const {
    if (rsa_) {
      const std::string signature = RsaSignSha256(rsa_.get(), digest);
      return signature.empty()
                 ? signature
                 : Mpi(reinterpret_cast<const unsigned char*>(signature.data()), signature.size());
    }
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, digest, 32, ed25519_.data());
    return Mpi(signature, 32) + Mpi(signature + 32, 32);
  }

 private:
  uint8_t algorithm_ = 0;
  WipedBytes<crypto_sign_SECRETKEYBYTES> ed25519_;
  RsaKey rsa_;
};

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

// How many certifications by the key keyId RNP finds good on key's user IDs.
size_t GoodCertifications(rnp_key_handle_t key, const std::string& keyId) {
  size_t uids = 0, good = 0;
  if (rnp_key_get_uid_count(key, &uids) != RNP_SUCCESS) return 0;
  for (size_t u = 0; u < uids; ++u) {
    rnp_uid_handle_t uidHandle = nullptr;
    if (rnp_key_get_uid_handle_at(key, u, &uidHandle) != RNP_SUCCESS) continue;
    rnp::Uid uid(uidHandle);
    size_t count = 0;
    if (rnp_uid_get_signature_count(uid.get(), &count) != RNP_SUCCESS) continue;
    for (size_t i = 0; i < count; ++i) {
      rnp_signature_handle_t handle = nullptr;
      if (rnp_uid_get_signature_at(uid.get(), i, &handle) != RNP_SUCCESS) continue;
      rnp::Signature signature(handle);
      char* id = nullptr;
      if (rnp_signature_get_keyid(signature.get(), &id) == RNP_SUCCESS && rnp::Take(id) == keyId &&
          rnp_signature_is_valid(signature.get(), 0) == RNP_SUCCESS)
        ++good;
    }
  }
  return good;
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
  DigestSigner signing;
  const bool loaded = SplitPackets(secretBytes, secretPackets) && !secretPackets.empty() &&
                      secretPackets[0].tag == kTagSecretKey && signing.Load(secretPackets[0].body);
  sodium_memzero(secretBytes.data(), secretBytes.size());
  for (Packet& p : secretPackets) sodium_memzero(p.body.data(), p.body.size());
  if (!loaded) return kKeyCapabilityMissing;

  std::vector<Packet> packets;
  if (!SplitPackets(Export(theirs.get(), RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS),
                    packets) ||
      packets.empty() || packets[0].tag != kTagPublicKey)
    return kPublicKeyDamaged;
  const std::string issuer = FromHex(signer.fingerprint);
  // Hashed: creation time, issuer fingerprint; unhashed: issuer key ID.
  const std::string hashed =
      BigEndian(5, 1) + BigEndian(2, 1) + BigEndian(static_cast<uint64_t>(now), 4) +
      BigEndian(issuer.size() + 2, 1) + BigEndian(33, 1) + BigEndian(4, 1) + issuer;
  const std::string head =
      std::string{4, static_cast<char>(kGenericCertification),
                  static_cast<char>(signing.algorithm()), static_cast<char>(kHashSha256)} +
      BigEndian(hashed.size(), 2) + hashed;
  const std::string unhashed =
      BigEndian(9, 1) + BigEndian(16, 1) + issuer.substr(issuer.size() - 8);
  std::string out;
  size_t certified = 0;
  for (size_t i = 0; i < packets.size(); ++i) {
    out += Framed(packets[i].tag, packets[i].body);
    if (packets[i].tag != kTagUserId) continue;
    const std::string& key = packets[0].body;
    const std::string& uid = packets[i].body;
    const std::string hashedData = "\x99" + BigEndian(key.size(), 2) + key + "\xB4" +
                                   BigEndian(uid.size(), 4) + uid + head + "\x04\xFF" +
                                   BigEndian(head.size(), 4);
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(hashedData.data()),
                       hashedData.size());
    const std::string signature = signing.Sign(digest);
    if (signature.empty()) return kCryptoFailure;
    const std::string body = head + BigEndian(unhashed.size(), 2) + unhashed +
                             std::string(reinterpret_cast<const char*>(digest), 2) + signature;
    // The self-signature follows the user ID; the certification goes after it.
    if (i + 1 < packets.size() && packets[i + 1].tag == kTagSignature)
      out += Framed(kTagSignature, packets[++i].body);
    out += Framed(kTagSignature, body);
    ++certified;
  }
  // Read back through RNP beside the certifying public key, which verifies
  // each certification made (a faulty signature never reaches a partner),
  // and armored.
  rnp::Ffi ring = rnp::NewFfi();
  const std::string signerPublic = Export(own.get(), RNP_KEY_EXPORT_PUBLIC);
  rnp::Input signerInput = rnp::InputOfMemory(signerPublic.data(), signerPublic.size());
  rnp::Input input = rnp::InputOfMemory(out.data(), out.size());
  if (!ring || !signerInput || !input ||
      rnp_import_keys(ring.get(), signerInput.get(), RNP_LOAD_SAVE_PUBLIC_KEYS, nullptr) !=
          RNP_SUCCESS ||
      rnp_import_keys(ring.get(), input.get(), RNP_LOAD_SAVE_PUBLIC_KEYS, nullptr) != RNP_SUCCESS)
    return kCryptoFailure;
  rnp::Key made = rnp::FindByFingerprint(ring.get(), subject.fingerprint);
  if (!made || certified == 0 ||
      GoodCertifications(made.get(), signer.fingerprint.substr(24)) != certified)
    return kCryptoFailure;
  armored =
      Export(made.get(), RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS | RNP_KEY_EXPORT_ARMORED);
  return armored.empty() ? kCryptoFailure : kOk;
}

}  // namespace orlak::pgp
