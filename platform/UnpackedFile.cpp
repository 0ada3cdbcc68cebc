#include "platform/UnpackedFile.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/Files.h"

namespace platform {
namespace {

bool IsGzip(const std::string& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
         static_cast<unsigned char>(bytes[1]) == 0x8b;
}

// The members of a gzip file one after another, as gunzip writes them.
int Gunzip(const std::string& packed, std::string& bytes) {
  z_stream z{};
  // 16: a gzip header and trailer around the deflate data, checked.
  if (inflateInit2(&z, 15 + 16) != Z_OK) return ENOMEM;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  size_t left = packed.size();
  char out[1 << 16];
  int rc = Z_OK;
  while (true) {
    if (z.avail_in == 0 && left > 0) {
      z.avail_in = static_cast<uInt>(std::min<size_t>(left, UINT_MAX));
      left -= z.avail_in;
    }
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = sizeof out;
    rc = inflate(&z, Z_NO_FLUSH);
    bytes.append(out, sizeof out - z.avail_out);
    if (rc == Z_STREAM_END) {
      if (z.avail_in == 0 && left == 0) break;
      rc = inflateReset(&z);  // another member follows
    }
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // cut short
    if (rc != Z_OK) break;
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END ? 0 : rc == Z_MEM_ERROR ? ENOMEM : EBADMSG;
}

}  // namespace

int ReadUnpackedFile(const std::string& path, std::string& bytes) {
  std::string read;
  if (int error = ReadWholeFile(path, read)) {
    bytes.clear();
    return error;
  }
  if (!IsGzip(read)) {
    bytes = std::move(read);
    return 0;
  }
  bytes.clear();
  return Gunzip(read, bytes);
}

}  // namespace platform
