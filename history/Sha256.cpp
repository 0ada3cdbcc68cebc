#include "history/Sha256.h"

#include <openssl/evp.h>

#include <memory>

#include "platform/Files.h"

namespace {

std::string Hex(const unsigned char* bytes, size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < count; ++i) {
    hex += digits[bytes[i] >> 4];
    hex += digits[bytes[i] & 15];
  }
  return hex;
}

}  // namespace

// OpenSSL's digest, which uses the processor's SHA instructions where it
// has them: the history hashes every file taken, a large one included.
using Digest = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string Sha256Hex(const std::string& bytes) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(bytes.data(), bytes.size(), out, &length, EVP_sha256(), nullptr)) return {};
  return Hex(out, length);
}

bool Sha256OfFile(const std::string& path, std::string& hex, uint64_t& size) {
  Digest digest(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!digest || !EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr)) return false;
  size = 0;
  bool updated = true;
  const int err = platform::ReadFileChunks(path, [&](const char* data, size_t count) {
    updated = EVP_DigestUpdate(digest.get(), data, count) && updated;
    size += count;
  });
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (err != 0 || !updated || !EVP_DigestFinal_ex(digest.get(), out, &length)) return false;
  hex = Hex(out, length);
  return true;
}
