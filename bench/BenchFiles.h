// The files the pass benchmarks take.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

// Touches and gives back as much memory as a run will write. A virtual
// machine's host may take back memory the guest has freed (the files of the
// last run), and the first writer into each such page then waits for the
// host: which of the runs compared pays for that is chance, and with files of
// hundreds of MiB it outweighs either's own work. Pages just touched and
// freed are the ones the next writes get, the host's own still.
inline void WarmFreeMemory(size_t bytes) {
  void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  std::memset(memory, 1, bytes);
  ::munmap(memory, bytes);
}
