#include "platform/ProfileBuffer.h"

#include <algorithm>
#include <cstring>

namespace platform {

size_t CopyText(const std::string& text, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return n;
}

size_t CopyItems(const std::vector<std::string>& items, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  if (size == 1) {
    buffer[0] = 0;
    return 0;
  }
  size_t pos = 0;
  for (const std::string& item : items) {
    if (pos + item.size() + 2 > size) {
      const size_t keep = size - 2;
      if (pos < keep) std::memcpy(buffer + pos, item.data(), keep - pos);
      buffer[keep] = 0;
      buffer[keep + 1] = 0;
      return keep;
    }
    std::memcpy(buffer + pos, item.data(), item.size());
    pos += item.size();
    buffer[pos++] = 0;
  }
  buffer[pos] = 0;
  if (pos + 1 < size) buffer[pos + 1] = 0;
  return pos;
}

}  // namespace platform
