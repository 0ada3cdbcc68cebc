#include "PgpRsaSign.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <string_view>

#include "PgpPackets.h"

namespace orlak::pgp {
namespace {

constexpr uint8_t kRsaAlgorithmId = 1;

// The numbers of one key while it is put together; the private ones in
// OpenSSL's secure memory, so the parameters made of them are too, and all
// of them cleared on release.
struct Numbers {
  BIGNUM *n = BN_new(), *e = BN_new();
  BIGNUM *d = BN_secure_new(), *p = BN_secure_new(), *q = BN_secure_new(), *u = BN_secure_new(),
         *dp = BN_secure_new(), *dq = BN_secure_new(), *less = BN_secure_new();
  ~Numbers() {
    BN_free(n);
    BN_free(e);
    for (BIGNUM* secret : {d, p, q, u, dp, dq, less}) BN_clear_free(secret);
  }
  bool Made() const { return n && e && d && p && q && u && dp && dq && less; }
};

bool ReadInto(const std::string& body, size_t& at, BIGNUM* number) {
  std::string_view magnitude;
  return ReadMpi(body, at, magnitude) && !magnitude.empty() &&
         BN_bin2bn(reinterpret_cast<const unsigned char*>(magnitude.data()),
                   static_cast<int>(magnitude.size()), number) != nullptr;
}

// exponent = d mod (prime - 1), for the Chinese-remainder signature.
bool PrimeExponent(const Numbers& k, const BIGNUM* prime, BIGNUM* exponent, BN_CTX* ctx) {
  return BN_sub(k.less, prime, BN_value_one()) && BN_mod(exponent, k.d, k.less, ctx);
}

}  // namespace

void RsaKeyFree::operator()(evp_pkey_st* key) const {
  EVP_PKEY_free(key);
}

RsaKey RsaSecretKey(const std::string& body) {
  // Version 4, creation time, algorithm; n and e; the s2k usage (0:
  // unprotected); d, p, q and u = p^-1 mod q; a checksum.
  if (body.size() < 6 || body[0] != 4 || static_cast<uint8_t>(body[5]) != kRsaAlgorithmId)
    return nullptr;
  Numbers k;
  if (!k.Made()) return nullptr;
  size_t at = 6;
  if (!ReadInto(body, at, k.n) || !ReadInto(body, at, k.e) || at >= body.size() ||
      body[at++] != 0 || !ReadInto(body, at, k.d) || !ReadInto(body, at, k.p) ||
      !ReadInto(body, at, k.q) || !ReadInto(body, at, k.u))
    return nullptr;
  BN_set_flags(k.d, BN_FLG_CONSTTIME);
  // OpenSSL's coefficient is its second factor's inverse modulo its first:
  // OpenPGP's u with q as OpenSSL's first factor and p as its second.
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_secure_new(), BN_CTX_free);
  if (!ctx || !PrimeExponent(k, k.q, k.dp, ctx.get()) || !PrimeExponent(k, k.p, k.dq, ctx.get()))
    return nullptr;
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(),
                                                                        OSSL_PARAM_BLD_free);
  if (!build || !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, k.n) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, k.e) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_D, k.d) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, k.q) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, k.p) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, k.dp) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, k.dq) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, k.u))
    return nullptr;
  // OSSL_PARAM_free clears the secure part, where the private numbers are.
  std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(
      OSSL_PARAM_BLD_to_param(build.get()), OSSL_PARAM_free);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> maker(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr), EVP_PKEY_CTX_free);
  EVP_PKEY* key = nullptr;
  if (!params || !maker || EVP_PKEY_fromdata_init(maker.get()) <= 0 ||
      EVP_PKEY_fromdata(maker.get(), &key, EVP_PKEY_KEYPAIR, params.get()) <= 0)
    return nullptr;
  return RsaKey(key);
}

std::string RsaSignSha256(evp_pkey_st* key, const unsigned char digest[32]) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> signer(
      EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), EVP_PKEY_CTX_free);
  size_t size = 0;
  if (!signer || EVP_PKEY_sign_init(signer.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(signer.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_CTX_set_signature_md(signer.get(), EVP_sha256()) <= 0 ||
      EVP_PKEY_sign(signer.get(), nullptr, &size, digest, 32) <= 0)
    return {};
  std::string signature(size, '\0');
  if (EVP_PKEY_sign(signer.get(), reinterpret_cast<unsigned char*>(signature.data()), &size, digest,
                    32) <= 0)
    return {};
  signature.resize(size);
  return signature;
}

}  // namespace orlak::pgp
