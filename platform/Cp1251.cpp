#include "platform/Cp1251.h"

#include <array>
#include <cstdint>

namespace platform {
namespace {

// Unicode code points of the bytes 0x80..0xFF. 0x98 is unassigned in the code
// page; it maps to U+0098 so that every byte survives a round trip.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

constexpr std::array<unsigned char, 256> MakeUpperTable() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 32);
  for (int c = 0xE0; c <= 0xFF; ++c) t[c] = static_cast<unsigned char>(c - 32);  // а..я
  // Letters outside the two contiguous alphabets.
  const unsigned char pairs[][2] = {{0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C},
                                    {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1},
                                    {0xB3, 0xB2}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA},
                                    {0xBC, 0xA3}, {0xBE, 0xBD}, {0xBF, 0xAF}};
  for (const auto& p : pairs) t[p[0]] = p[1];
  return t;
}

constexpr std::array<unsigned char, 256> kUpper = MakeUpperTable();

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int ByteFor(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == cp) return static_cast<int>(0x80 + i);
  return -1;
}

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  size_t len;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

template <bool Lossy>
std::optional<std::string> FromUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    size_t len = DecodeUtf8(text, i, cp);
    int b = len ? ByteFor(cp) : -1;
    if (b < 0) {
      if (!Lossy) return std::nullopt;
      out += '?';
      i += len ? len : 1;
      continue;
    }
    out += static_cast<char>(b);
    i += len;
  }
  return out;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view text) {
  // Paths are mostly ASCII, which is the same in both.
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
  std::string out(text.substr(0, ascii));
  if (ascii == text.size()) return out;
  out.reserve(text.size() * 2);
  for (char ch : text.substr(ascii)) {
    const auto b = static_cast<unsigned char>(ch);
    AppendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{kHigh[b - 0x80]});
  }
  return out;
}

std::optional<std::string> Utf8ToCp1251(std::string_view text) {
  return FromUtf8<false>(text);
}

std::string Utf8ToCp1251Lossy(std::string_view text) {
  bool ascii = true;
  for (char ch : text) ascii &= static_cast<unsigned char>(ch) < 0x80;
  if (ascii) return std::string(text);
  return *FromUtf8<true>(text);
}

unsigned char UpperCp1251(unsigned char c) {
  return kUpper[c];
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(kUpper[static_cast<unsigned char>(ch)]);
  return out;
}

}  // namespace platform
