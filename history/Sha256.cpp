#include "history/Sha256.h"

#include <openssl/evp.h>

#include "platform/Files.h"

namespace {

std::string Hex(const unsigned char* bytes, size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string hex(count * 2, '0');
  for (size_t i = 0; i < count; ++i) {
    hex[2 * i] = digits[bytes[i] >> 4];
    hex[2 * i + 1] = digits[bytes[i] & 15];
  }
  return hex;
}

// OpenSSL's digest, which uses the processor's SHA instructions where it
// has them: the history hashes every file taken, a large one included.
// Fetched once: a digest named by EVP_sha256() is looked up again on each use.
const EVP_MD* Sha256() {
  static EVP_MD* const md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return md ? md : EVP_sha256();
}

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(bytes.data(), bytes.size(), out, &length, Sha256(), nullptr)) return {};
  return Hex(out, length);
}

bool Sha256OfFile(const std::string& path, std::string& hex, uint64_t& size) {
  TSha256 digest;
  size = 0;
  const int err = platform::ReadFileChunks(path, [&](const char* data, size_t count) {
    digest.Update(data, count);
    size += count;
  });
  return err == 0 && digest.Final(hex);
}

TSha256::TSha256() : ctx_(EVP_MD_CTX_new()) {
  Reset();
}

TSha256::~TSha256() {
  EVP_MD_CTX_free(ctx_);
}

void TSha256::Reset() {
  ok_ = ctx_ && EVP_DigestInit_ex(ctx_, Sha256(), nullptr);
}

void TSha256::Update(const char* data, size_t count) {
  ok_ = ok_ && EVP_DigestUpdate(ctx_, data, count);
}

bool TSha256::Final(std::string& hex) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!ok_ || !EVP_DigestFinal_ex(ctx_, out, &length)) return false;
  ok_ = false;  // finalised: Reset before the next use
  hex = Hex(out, length);
  return true;
}
