// SHA-256 of bytes and of files, as lower-case hex.
#pragma once

#include <cstdint>
#include <string>

std::string Sha256Hex(const std::string& bytes);
// The digest of the file's bytes and their count; false when it cannot be read.
bool Sha256OfFile(const std::string& path, std::string& hex, uint64_t& size);
