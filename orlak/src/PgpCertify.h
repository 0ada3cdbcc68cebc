// A certification of one OpenPGP key's user IDs by another key, as a bank
// asks of a renewal key: the key it replaces vouches for it. RNP 0.16 has
// no call that makes a third-party certification (rnp_key_add_uid certifies
// a key by itself only), so the signature packet is built here by RFC 4880
// (section 5.2.4) and signed from the certifying key's unprotected secret key
// packet: Ed25519 with libsodium, RSA (PKCS#1 v1.5) with OpenSSL
// (PgpRsaSign.h). Any other certifying key is refused (kKeyCapabilityMissing).
#pragma once

#include <cstdint>
#include <string>

#include "PgpKeys.h"

namespace orlak::pgp {

// The armored public key of subject (in the public ring), each of its user
// IDs certified (type 0x10, SHA-256, now) by signer's primary key.
uint16_t CertifiedPublicKey(const KeyFile& signer, const KeyFile& subject, int64_t now,
                            std::string& armored);

}  // namespace orlak::pgp
