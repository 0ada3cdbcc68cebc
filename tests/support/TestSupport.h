// Shared helpers of the tests: temporary folders, a fixed log clock, file
// faults on demand and small file helpers. Paths are Windows-1251 text unless
// a name says Native (UTF-8, for the file system).
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

constexpr int64_t kSecondsPerDay = 86400;

// A fresh folder under the system temp folder, removed with its contents on
// destruction. Path() ends in "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // Path() + relative, with any folders on the way created.
  std::string Sub(const std::string& relative) const;

 private:
  std::string path_;
};

// Points $TMPDIR (the platform's temp path) at a folder for the lifetime of
// the object, and the event log at a file inside a TempDir.
class ScopedTempPath {
 public:
  explicit ScopedTempPath(const std::string& folder);
  ~ScopedTempPath();

 private:
  std::string old_;
  bool hadOld_;
};

// Fixes the log clock to a time for the lifetime of the object.
class FixedClock {
 public:
  FixedClock(int year, int month, int day, int hour, int minute, int second);
  ~FixedClock();
  static std::tm Make(int year, int month, int day, int hour, int minute, int second);
};

// Sends the event log to a file for the lifetime of the object.
class ScopedLogFile {
 public:
  explicit ScopedLogFile(const std::string& path);
  ~ScopedLogFile();
  const std::string& Path() const { return path_; }
  // The log's lines without CR LF, and without the timestamp and its TAB.
  std::vector<std::string> Fields() const;
  // The raw bytes of the log file.
  std::string Bytes() const;

 private:
  std::string path_;
};

// Fails the platform's file operations chosen by a predicate, for the
// lifetime of the object. The predicate gets the operation name and path and
// returns the errno value to fail with, or 0.
class ScopedFault {
 public:
  explicit ScopedFault(std::function<int(std::string_view, const std::string&)> rule);
  ~ScopedFault();
};

// A child process that holds the settings file's run lock until it is
// killed; its process id, or -1 when it could not take the lock.
int HoldRunLockInChild(const std::string& settingsFile);

// Writes a file as a writer that finished a while ago: its modification time
// is set a minute back, so a pass takes it at once. WriteFreshFile keeps the
// time of the write.
void WriteFile(const std::string& path, std::string_view bytes);
void WriteFreshFile(const std::string& path, std::string_view bytes);
// Sets a file's modification time a minute back.
void Backdate(const std::string& path);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Bare names in a folder, sorted.
std::vector<std::string> ListNames(const std::string& folder);

}  // namespace testing_support
