#include "history/Sha256.h"

#include <sodium.h>

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

std::string Sha256Hex(const std::string& bytes) {
  unsigned char out[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(out, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return Hex(out, sizeof out);
}

bool Sha256OfFile(const std::string& path, std::string& hex, uint64_t& size) {
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  size = 0;
  const int err = platform::ReadFileChunks(path, [&](const char* data, size_t count) {
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(data), count);
    size += count;
  });
  if (err != 0) return false;
  unsigned char out[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, out);
  hex = Hex(out, sizeof out);
  return true;
}
