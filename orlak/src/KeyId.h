// Key identifiers: 1 to 13 Windows-1251 bytes that name a key file, so no path
// delimiters and no control characters.
#pragma once

#include <string>
#include <string_view>

namespace orlak {

inline constexpr unsigned kKeyIdMax = 13;
// A stored identifier: a length byte, then the bytes padded with zeros.
inline constexpr unsigned kKeyIdFieldSize = 1 + kKeyIdMax;

bool IsValidKeyId(std::string_view id);
// A C string argument as an identifier; false for null or invalid ones.
bool KeyIdFromArgument(const char* arg, std::string& id);

void PutKeyIdField(unsigned char* field, std::string_view id);
// False when the field holds no valid identifier or its padding is not zero.
bool GetKeyIdField(const unsigned char* field, std::string& id);

}  // namespace orlak
