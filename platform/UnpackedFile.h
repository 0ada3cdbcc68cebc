// A file read whole, as its writer meant it: a gzip file (a rotated log that
// logrotate compressed) unpacked, any other as it is.
#pragma once

#include <string>

namespace platform {

// The file's bytes, unpacked when they begin as gzip does; 0 or an errno
// value: EBADMSG when the gzip data is damaged or cut short.
[[nodiscard]] int ReadUnpackedFile(const std::string& path, std::string& bytes);

}  // namespace platform
