#include "KeyId.h"

#include <cstring>

#include "Bytes.h"

namespace orlak {

bool IsValidKeyId(std::string_view id) {
  if (id.empty() || id.size() > kKeyIdMax) return false;
  for (unsigned char c : id) {
    // Control characters, DEL, and the delimiters of either platform's paths.
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  // "." and ".." would still make odd file names next to the folder's own.
  return id != "." && id != "..";
}

bool KeyIdFromArgument(const char* arg, std::string& id) {
  if (!arg) return false;
  // Never read past the longest identifier plus its terminator.
  size_t n = strnlen(arg, kKeyIdMax + 1);
  if (n > kKeyIdMax) return false;
  id.assign(arg, n);
  return IsValidKeyId(id);
}

void PutKeyIdField(unsigned char* field, std::string_view id) {
  std::memset(field, 0, kKeyIdFieldSize);
  field[0] = static_cast<unsigned char>(id.size());
  std::memcpy(field + 1, id.data(), id.size());
}

bool GetKeyIdField(const unsigned char* field, std::string& id) {
  unsigned n = field[0];
  if (n == 0 || n > kKeyIdMax) return false;
  if (!AllZero(field + 1 + n, kKeyIdMax - n)) return false;
  id.assign(reinterpret_cast<const char*>(field + 1), n);
  return IsValidKeyId(id);
}

}  // namespace orlak
