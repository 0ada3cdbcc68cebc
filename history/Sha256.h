// SHA-256 of bytes and of files, as lower-case hex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct evp_md_ctx_st;

std::string Sha256Hex(const std::string& bytes);
// The digest of the file's bytes and their count; false when it cannot be read.
bool Sha256OfFile(const std::string& path, std::string& hex, uint64_t& size);

// A digest made piece by piece.
class TSha256 {
 public:
  TSha256();
  ~TSha256();
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;
  // Begins again with nothing hashed.
  void Reset();
  void Update(const char* data, size_t count);
  // The digest of what was hashed since Reset; false when the library failed.
  bool Final(std::string& hex);

 private:
  evp_md_ctx_st* ctx_;
  bool ok_ = false;
};
