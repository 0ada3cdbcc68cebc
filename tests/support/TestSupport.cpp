#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "platform/FaultInjection.h"
#include "platform/RunLock.h"

namespace testing_support {

int HoldRunLockInChild(const std::string& settingsFile) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    platform::RunLock lock;
    const char ok = lock.Acquire(settingsFile) == 0 ? '1' : '0';
    [[maybe_unused]] auto n = ::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char ok = 0;
  const bool got = ::read(ready[0], &ok, 1) == 1 && ok == '1';
  ::close(ready[0]);
  return got ? pid : -1;
}
namespace fs = std::filesystem;

namespace {
fs::path Native(const std::string& path) {
  return fs::path(platform::Cp1251ToUtf8(path));
}
}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TESSEL_TEST_TMP");
  fs::path root = base ? fs::path(base) : fs::temp_directory_path();
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = root / ("tessel-test-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = platform::Utf8ToCp1251Lossy(candidate.string()) + "/";
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore permissions a test may have taken away, so everything can go.
  for (auto it = fs::recursive_directory_iterator(Native(path_), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(Native(path_), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(Native(path_), ec);
}

std::string TempDir::Sub(const std::string& relative) const {
  std::string full = path_ + relative;
  fs::path native = Native(full);
  std::error_code ec;
  if (!relative.empty() && relative.back() == '/')
    fs::create_directories(native, ec);
  else if (native.has_parent_path())
    fs::create_directories(native.parent_path(), ec);
  return full;
}

ScopedTempPath::ScopedTempPath(const std::string& folder) {
  const char* old = std::getenv("TMPDIR");
  hadOld_ = old != nullptr;
  if (old) old_ = old;
  ::setenv("TMPDIR", platform::Cp1251ToUtf8(folder).c_str(), 1);
}

ScopedTempPath::~ScopedTempPath() {
  if (hadOld_)
    ::setenv("TMPDIR", old_.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

std::tm FixedClock::Make(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  std::tm copy = t;
  std::mktime(&copy);  // fills the week day for the formats
  t.tm_wday = copy.tm_wday;
  t.tm_yday = copy.tm_yday;
  return t;
}

FixedClock::FixedClock(int year, int month, int day, int hour, int minute, int second) {
  std::tm t = Make(year, month, day, hour, minute, second);
  SetLogClock([t] { return t; });
}

FixedClock::~FixedClock() {
  SetLogClock(nullptr);
}

ScopedLogFile::ScopedLogFile(const std::string& path) : path_(path) {
  SetLogFilePath(path);
}
ScopedLogFile::~ScopedLogFile() {
  SetLogFilePath("");
}

std::string ScopedLogFile::Bytes() const {
  return FileExists(path_) ? ReadFile(path_) : "";
}

std::vector<std::string> ScopedLogFile::Fields() const {
  std::vector<std::string> lines;
  std::string bytes = Bytes();
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(pos, end - pos);
    size_t tab = line.find('\t');
    lines.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    pos = end + 2;
  }
  return lines;
}

ScopedFault::ScopedFault(std::function<int(std::string_view, const std::string&)> rule) {
  platform::SetFaultHook(std::move(rule));
}
ScopedFault::~ScopedFault() {
  platform::SetFaultHook(nullptr);
}

void WriteFreshFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + platform::Cp1251ToUtf8(path));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteFile(const std::string& path, std::string_view bytes) {
  WriteFreshFile(path, bytes);
  Backdate(path);
}

void Backdate(const std::string& path) {
  timespec times[2];
  ::clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= 60;
  times[1] = times[0];
  if (::utimensat(AT_FDCWD, Native(path).c_str(), times, 0) != 0)
    throw std::runtime_error("cannot set the time of " + platform::Cp1251ToUtf8(path));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + platform::Cp1251ToUtf8(path));
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(Native(path), ec);
}

bool DirExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(Native(path), ec);
}

std::vector<std::string> ListNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(Native(folder), ec))
    names.push_back(platform::Utf8ToCp1251Lossy(e.path().filename().string()));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testing_support
