#include "engine/LogEscape.h"

namespace {

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A backslash the reader would take as the start of an escape.
bool NeedsDoubling(const std::string& field, size_t i) {
  if (field[i] != '\\' || i + 1 >= field.size()) return false;
  const auto next = static_cast<unsigned char>(field[i + 1]);
  return next == 'x' || next == '\\' || IsControl(next);
}

}  // namespace

std::string EscapeLogField(const std::string& field) {
  size_t special = 0;
  for (size_t i = 0; i < field.size(); ++i)
    special += (NeedsDoubling(field, i) || IsControl(static_cast<unsigned char>(field[i]))) ? 1 : 0;
  if (special == 0) return field;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(field.size() + special * 3);
  for (size_t i = 0; i < field.size(); ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (NeedsDoubling(field, i)) {
      out += "\\\\";
    } else if (IsControl(c)) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UnescapeLogField(const std::string& escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] == '\\' && i + 1 < escaped.size()) {
      if (escaped[i + 1] == '\\') {
        out += '\\';
        ++i;
        continue;
      }
      if (escaped[i + 1] == 'x' && i + 3 < escaped.size()) {
        const int high = HexValue(escaped[i + 2]), low = HexValue(escaped[i + 3]);
        if (high >= 0 && low >= 0) {
          out += static_cast<char>(high * 16 + low);
          i += 3;
          continue;
        }
      }
    }
    out += escaped[i];
  }
  return out;
}
