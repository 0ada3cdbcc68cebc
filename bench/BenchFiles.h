// The files the pass benchmarks take.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

// count files f0.dat, f1.dat, ... of size bytes, each of bytes of its own (so
// no two are duplicates), written a minute ago (a file changed within the
// last two seconds would wait for a later pass) and flushed, so that a pass
// times only its own writes.
inline void MakeFiles(const std::filesystem::path& folder, int count, size_t size) {
  std::vector<char> data(std::min<size_t>(size, 1 << 20));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  for (int i = 0; i < count; ++i) {
    const std::filesystem::path path = folder / ("f" + std::to_string(i) + ".dat");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) std::abort();
    if (data.size() >= 2) {
      data[0] = static_cast<char>(i);
      data[1] = static_cast<char>(i >> 8);
    }
    for (size_t done = 0; done < size;) {
      const size_t n = std::min(data.size(), size - done);
      if (::write(fd, data.data(), n) != static_cast<ssize_t>(n)) std::abort();
      done += n;
    }
    timespec past[2];
    ::clock_gettime(CLOCK_REALTIME, &past[0]);
    past[0].tv_sec -= 60;
    past[1] = past[0];
    ::futimens(fd, past);
    ::close(fd);
  }
  ::sync();
}
