#include "config/uIniUtil.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/SettingsPlace.h"

namespace {

// One read returns at most this many bytes, terminator included.
constexpr size_t kReadBufferSize = 65535;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Leading spaces, an optional sign, then decimal digits or hexadecimal ones
// after "$", "x", "X" or "0x". Anything else, and any value outside 32 bits,
// is not a number.
bool ParseInteger(std::string_view s, int32_t& result) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    base = 16;
    ++i;
  } else if (s.substr(i, 2) == "0x") {
    base = 16;
    i += 2;
  }
  if (i == s.size()) return false;
  const int64_t limit = negative ? int64_t{2147483648} : int64_t{2147483647};
  int64_t value = 0;
  for (; i < s.size(); ++i) {
    const int digit = base == 10 ? (IsDigit(s[i]) ? s[i] - '0' : -1) : HexDigit(s[i]);
    if (digit < 0) return false;
    value = value * base + digit;
    if (value > limit) return false;
  }
  result = static_cast<int32_t>(negative ? -value : value);
  return true;
}

// The user's decimal separator, as the floating-point reading of booleans uses it.
char DecimalSeparator() {
  const char* point = std::localeconv()->decimal_point;
  return point != nullptr && point[0] != 0 && point[1] == 0 ? point[0] : '.';
}

// A floating-point number: blanks, sign, digits with an optional fraction,
// optional exponent, blanks. isZero tells whether its value is zero.
bool ParseFloat(std::string_view s, bool& isZero) {
  const char separator = DecimalSeparator();
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  isZero = true;
  auto readDigits = [&] {
    for (; i < s.size() && IsDigit(s[i]); ++i, ++digits)
      if (s[i] != '0') isZero = false;
  };
  readDigits();
  if (i < s.size() && s[i] == separator) {
    ++i;
    readDigits();
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const size_t start = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    if (i == start) return false;
  }
  while (i < s.size() && s[i] == ' ') ++i;
  return i == s.size();
}

// Reads a zero-separated block of the file's size into a list.
template <class Read>
bool ReadBlock(std::string FileName, std::vector<std::string>& List, Read read) {
  // A missing file falls back to the settings file.
  if (platform::ProfileFileSize(FileName) < 0) FileName = SettingsFilePath();
  const int64_t size = std::max<int64_t>(platform::ProfileFileSize(FileName), 0);
  std::unique_ptr<char[]> buffer;
  size_t count = 0;
  if (size > 0) {
    buffer.reset(new char[static_cast<size_t>(size)]());
    count = read(buffer.get(), static_cast<size_t>(size), FileName);
  }
  return SplitMultiString(buffer.get(), count, '\0', List);
}

}  // namespace

std::string SettingsFilePathFor(const std::string& programPath) {
  return platform::ReplaceExtension(programPath, ".ini");
}

std::string SettingsFilePath() {
  return platform::SettingsPlace(SettingsFilePathFor(platform::ProgramPath()));
}

std::string ReadIniString(const std::string& Section, const std::string& Key,
                          const std::string& Default, const std::string& FileName) {
  std::unique_ptr<char[]> buffer(new char[kReadBufferSize]);
  const size_t n = platform::GetPrivateProfileStringA(Section, Key, Default, buffer.get(),
                                                      kReadBufferSize, FileName);
  return std::string(buffer.get(), n);
}

int32_t ReadIniInteger(const std::string& Section, const std::string& Key, int32_t Default,
                       const std::string& FileName) {
  const std::string text = ReadIniString(Section, Key, std::to_string(Default), FileName);
  int32_t value = 0;
  return ParseInteger(text, value) ? value : Default;
}

bool ReadIniBool(const std::string& Section, const std::string& Key, bool Default,
                 const std::string& FileName) {
  const std::string text = ReadIniString(Section, Key, Default ? "-1" : "0", FileName);
  bool isZero = true;
  if (ParseFloat(text, isZero)) return !isZero;
  const std::string upper = platform::UpperCase(text);
  if (upper == "TRUE") return true;
  if (upper == "FALSE") return false;
  return Default;
}

bool WriteIniString(const std::string& Section, const std::string& Key, const std::string& Value,
                    const std::string& FileName) {
  // An empty value removes the key, so reading it gives the reader's default.
  return platform::WritePrivateProfileStringA(Section, Key, Value.empty() ? nullptr : &Value,
                                              FileName);
}

bool WriteIniInteger(const std::string& Section, const std::string& Key, int32_t Value,
                     const std::string& FileName) {
  return WriteIniString(Section, Key, std::to_string(Value), FileName);
}

bool WriteIniBool(const std::string& Section, const std::string& Key, bool Value,
                  const std::string& FileName) {
  return WriteIniString(Section, Key, Value ? "-1" : "0", FileName);
}

int32_t ReadSettingsInteger(const std::string& Section, const std::string& Key, int32_t Default) {
  return ReadIniInteger(Section, Key, Default, SettingsFilePath());
}

bool WriteSettingsInteger(const std::string& Section, const std::string& Key, int32_t Value) {
  return WriteIniInteger(Section, Key, Value, SettingsFilePath());
}

bool ReadSectionNames(std::vector<std::string>& List, const std::string& FileName) {
  return ReadBlock(FileName, List, [](char* buffer, size_t size, const std::string& file) {
    return platform::GetPrivateProfileSectionNamesA(buffer, size, file);
  });
}

bool ReadSectionLines(const std::string& Section, std::vector<std::string>& List,
                      const std::string& FileName) {
  return ReadBlock(FileName, List, [&Section](char* buffer, size_t size, const std::string& file) {
    return platform::GetPrivateProfileSectionA(Section, buffer, size, file);
  });
}

bool SplitMultiString(const char* Buffer, size_t Length, char Separator,
                      std::vector<std::string>& List) {
  List.clear();
  size_t position = 0;
  while (position < Length) {
    const size_t start = position;
    while (position < Length && Buffer[position] != Separator) ++position;
    List.emplace_back(Buffer + start, position - start);
    ++position;
    // An empty item ends the block; nothing past Length is ever looked at.
    if (position < Length && Buffer[position] == Separator) break;
  }
  return true;
}

int64_t FileSizeByName(const std::string& FileName) {
  return platform::ReadableFileSize(FileName);
}
