// RSA signatures over a prepared digest, for the certification of another
// key (PgpCertify.h): RNP 0.16 signs no digest it is handed, so the current
// key's RSA secret key packet is read here and signed with by OpenSSL's
// libcrypto, which the library links privately.
#pragma once

#include <memory>
#include <string>

struct evp_pkey_st;

namespace orlak::pgp {

struct RsaKeyFree {
  void operator()(evp_pkey_st* key) const;  // clears the private numbers
};
using RsaKey = std::unique_ptr<evp_pkey_st, RsaKeyFree>;

// The key of the body of an unprotected version 4 RSA secret key packet
// (RFC 4880, section 5.5.3); null when the body is no such key.
RsaKey RsaSecretKey(const std::string& body);

// The PKCS#1 v1.5 signature of a SHA-256 digest, big-endian as long as the
// modulus; empty when OpenSSL refuses.
std::string RsaSignSha256(evp_pkey_st* key, const unsigned char digest[32]);

}  // namespace orlak::pgp
