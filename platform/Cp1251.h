// Windows-1251 text at the edges of the system: conversion to and from UTF-8
// (file system, widgets) and the code page's upper-case mapping.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Every Windows-1251 byte has a UTF-8 form, so this never fails.
std::string Cp1251ToUtf8(std::string_view text);

// Empty optional when the text is not valid UTF-8 or holds a character that
// Windows-1251 cannot represent.
std::optional<std::string> Utf8ToCp1251(std::string_view text);

// Like Utf8ToCp1251, with '?' for every character that has no Windows-1251 form.
// For texts shown to the operator only (error messages), never for paths.
std::string Utf8ToCp1251Lossy(std::string_view text);

// The code page's letter mapping (Latin and Cyrillic); other bytes unchanged.
unsigned char UpperCp1251(unsigned char c);
std::string UpperCase(std::string_view text);

}  // namespace platform
