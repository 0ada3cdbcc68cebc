// The buffer rules of the Windows profile functions: results are cut to fit
// the caller's buffer and always end in zero bytes inside it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Copies at most size - 1 characters of the text and a zero byte; the count
// copied.
size_t CopyText(const std::string& text, char* buffer, size_t size);
// Copies zero-separated items: every item ends in a zero byte and the whole in
// one more; what does not fit is cut, and the buffer still ends in two zero
// bytes. The count excludes the final zero byte(s).
size_t CopyItems(const std::vector<std::string>& items, char* buffer, size_t size);

}  // namespace platform
