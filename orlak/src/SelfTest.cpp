#include "SelfTest.h"

#include <sodium.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace orlak {
namespace {

// Published test vectors: RFC 8032 (Ed25519, Ed25519ph), RFC 7748 (X25519),
// RFC 7693 (BLAKE2b), RFC 8439 (Poly1305) and the XChaCha20-Poly1305 draft.
constexpr const char* kEdSeed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
constexpr const char* kEdPk = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";
constexpr const char* kEdSig =
    "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b4"
    "6bd25bf5f0595bbe24655141438e7a100b";
constexpr const char* kPhSeed = "833fe62409237b9d62ec77587520911e9a759cec1d19755b7da901b96dca3d42";
constexpr const char* kPhSig =
    "98a70222f0b8121aa9d30f813d683f809e462b469c7ff87639499bb94e6dae4131f85042463c2a355a2003d062adf5"
    "aaa10b8c61e636062aaad11c2a26083406";
constexpr const char* kXAlice = "77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a";
constexpr const char* kXAlicePk =
    "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a";
constexpr const char* kXBobPk = "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f";
constexpr const char* kXShared = "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742";
constexpr const char* kBlakeAbc =
    "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de4533cc"
    "9518d38aa8dbf1925ab92386edd4009923";
constexpr const char* kPolyKey = "85d6be7857556d337f4452fe42d506a80103808afb0db2fd4abff6af4149f51b";
constexpr const char* kPolyTag = "a8061dc1305136c6c22b8baf0c0127a9";
constexpr const char* kAeadText =
    "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, "
    "sunscreen would be it.";
constexpr const char* kAeadAd = "50515253c0c1c2c3c4c5c6c7";
constexpr const char* kAeadSealed =
    "bd6d179d3e83d43b9576579493c0e939572a1700252bfaccbed2902c21396cbb731c7f1b0b4aa6440bf3a82f4eda7e"
    "39ae64c6708c54c216cb96b72e1213b4522f8c9ba40db5d945b11b69b982c1bb9e3f3fac2bc369488f76b2383565d3"
    "fff921f9664c97637da9768812f615c68b13b52ec0875924c1c7987947deafd8780acf49";

std::vector<unsigned char> Hex(const char* hex) {
  std::vector<unsigned char> bytes(std::strlen(hex) / 2);
  size_t length = 0;
  sodium_hex2bin(bytes.data(), bytes.size(), hex, std::strlen(hex), nullptr, &length, nullptr);
  bytes.resize(length);
  return bytes;
}

bool Same(const unsigned char* data, size_t size, const char* hex) {
  std::vector<unsigned char> expected = Hex(hex);
  return expected.size() == size && std::memcmp(data, expected.data(), size) == 0;
}

const unsigned char* Text(const char* s) {
  return reinterpret_cast<const unsigned char*>(s);
}

bool Ed25519() {
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  unsigned char sig[crypto_sign_BYTES];
  crypto_sign_seed_keypair(pk, sk, Hex(kEdSeed).data());
  crypto_sign_detached(sig, nullptr, nullptr, 0, sk);
  bool ok = Same(pk, sizeof pk, kEdPk) && Same(sig, sizeof sig, kEdSig) &&
            crypto_sign_verify_detached(sig, nullptr, 0, pk) == 0;
  sig[0] ^= 1;
  ok = ok && crypto_sign_verify_detached(sig, nullptr, 0, pk) != 0;
  sodium_memzero(sk, sizeof sk);
  return ok;
}

bool Ed25519ph() {
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  unsigned char sig[crypto_sign_BYTES];
  crypto_sign_seed_keypair(pk, sk, Hex(kPhSeed).data());
  crypto_sign_state state;
  crypto_sign_init(&state);
  crypto_sign_update(&state, Text("abc"), 3);
  crypto_sign_final_create(&state, sig, nullptr, sk);
  crypto_sign_init(&state);
  crypto_sign_update(&state, Text("abc"), 3);
  bool ok = Same(sig, sizeof sig, kPhSig) && crypto_sign_final_verify(&state, sig, pk) == 0;
  sodium_memzero(sk, sizeof sk);
  return ok;
}

bool X25519() {
  std::vector<unsigned char> alice = Hex(kXAlice);
  unsigned char pk[crypto_scalarmult_BYTES], shared[crypto_scalarmult_BYTES];
  crypto_scalarmult_base(pk, alice.data());
  if (crypto_scalarmult(shared, alice.data(), Hex(kXBobPk).data()) != 0) return false;
  return Same(pk, sizeof pk, kXAlicePk) && Same(shared, sizeof shared, kXShared);
}

bool Blake2b() {
  unsigned char digest[64];
  crypto_generichash(digest, sizeof digest, Text("abc"), 3, nullptr, 0);
  return Same(digest, sizeof digest, kBlakeAbc);
}

bool Poly1305() {
  const char* message = "Cryptographic Forum Research Group";
  unsigned char tag[crypto_onetimeauth_BYTES];
  crypto_onetimeauth(tag, Text(message), std::strlen(message), Hex(kPolyKey).data());
  return Same(tag, sizeof tag, kPolyTag);
}

bool XChaCha20Poly1305() {
  unsigned char key[32], nonce[24];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<unsigned char>(0x80 + i);
  for (int i = 0; i < 24; ++i) nonce[i] = static_cast<unsigned char>(0x40 + i);
  std::vector<unsigned char> ad = Hex(kAeadAd);
  const size_t size = std::strlen(kAeadText);
  std::vector<unsigned char> sealed(size + crypto_aead_xchacha20poly1305_ietf_ABYTES);
  std::vector<unsigned char> opened(size);
  unsigned long long sealedSize = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data(), &sealedSize, Text(kAeadText), size,
                                             ad.data(), ad.size(), nullptr, nonce, key);
  if (!Same(sealed.data(), sealedSize, kAeadSealed)) return false;
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(opened.data(), nullptr, nullptr, sealed.data(),
                                                 sealedSize, ad.data(), ad.size(), nonce,
                                                 key) != 0 ||
      std::memcmp(opened.data(), kAeadText, size) != 0)
    return false;
  sealed[3] ^= 0x20;
  return crypto_aead_xchacha20poly1305_ietf_decrypt(opened.data(), nullptr, nullptr, sealed.data(),
                                                    sealedSize, ad.data(), ad.size(), nonce,
                                                    key) != 0;
}

// The stream has a random header, so it is checked by a round trip: both
// chunks come back with their tags, and a changed byte is refused.
bool SecretStream() {
  using State = crypto_secretstream_xchacha20poly1305_state;
  unsigned char key[crypto_secretstream_xchacha20poly1305_KEYBYTES];
  unsigned char header[crypto_secretstream_xchacha20poly1305_HEADERBYTES];
  crypto_secretstream_xchacha20poly1305_keygen(key);
  State push, pull;
  crypto_secretstream_xchacha20poly1305_init_push(&push, header, key);
  const std::string_view parts[2] = {"first chunk", "last"};
  unsigned char sealed[2][32];
  for (int i = 0; i < 2; ++i) {
    unsigned char tag = i == 1 ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                               : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
    crypto_secretstream_xchacha20poly1305_push(&push, sealed[i], nullptr, Text(parts[i].data()),
                                               parts[i].size(), nullptr, 0, tag);
  }
  bool ok = true;
  for (int attempt = 0; attempt < 2 && ok; ++attempt) {
    if (crypto_secretstream_xchacha20poly1305_init_pull(&pull, header, key) != 0) return false;
    if (attempt == 1) sealed[1][2] ^= 1;
    for (int i = 0; i < 2; ++i) {
      unsigned char opened[32], tag = 0;
      unsigned long long size = 0;
      int result = crypto_secretstream_xchacha20poly1305_pull(&pull, opened, &size, &tag, sealed[i],
                                                              parts[i].size() + 17, nullptr, 0);
      bool expectFailure = attempt == 1 && i == 1;
      if (expectFailure) {
        ok = ok && result != 0;
      } else {
        ok = ok && result == 0 && size == parts[i].size() &&
             std::memcmp(opened, parts[i].data(), size) == 0 &&
             tag == (i == 1 ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                            : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
      }
    }
  }
  sodium_memzero(key, sizeof key);
  return ok;
}

bool RandomBytes() {
  unsigned char a[32], b[32];
  randombytes_buf(a, sizeof a);
  randombytes_buf(b, sizeof b);
  return std::memcmp(a, b, sizeof a) != 0;
}

}  // namespace

std::string RunSelfTest() {
  if (sodium_init() < 0) return "libsodium initialisation";
  struct Check {
    const char* name;
    bool (*run)();
  };
  const Check checks[] = {{"Ed25519", Ed25519},
                          {"Ed25519ph", Ed25519ph},
                          {"X25519", X25519},
                          {"BLAKE2b", Blake2b},
                          {"Poly1305", Poly1305},
                          {"XChaCha20-Poly1305", XChaCha20Poly1305},
                          {"secretstream", SecretStream},
                          {"random bytes", RandomBytes}};
  for (const Check& check : checks)
    if (!check.run()) return check.name;
  return {};
}

}  // namespace orlak
