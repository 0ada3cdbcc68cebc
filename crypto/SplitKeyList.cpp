#include "crypto/SplitKeyList.h"

namespace {

bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

}  // namespace

std::vector<std::string> SplitKeyList(const std::string& text) {
  std::vector<std::string> items;
  const size_t n = text.size();
  size_t p = 0;
  auto skipBlanks = [&] {
    while (p < n && IsBlank(text[p])) ++p;
  };

  skipBlanks();
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;  // the closing quote
          break;
        }
        item += text[p++];
      }
    } else {
      while (p < n && !IsBlank(text[p]) && text[p] != ';') item += text[p++];
    }
    items.push_back(std::move(item));

    skipBlanks();
    if (p < n && text[p] == ';') {
      if (p + 1 == n) items.emplace_back();
      ++p;
      skipBlanks();
    }
  }
  return items;
}
