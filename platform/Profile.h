// Profile (INI) files as the Windows profile-string functions keep them:
// Windows-1251 bytes, CR LF lines, section and key names matched without
// regard to letter case. Files written by hand or by Windows itself are read
// too: LF or CR line ends, blank lines, ";" comment lines, blanks around "=",
// one pair of quotation marks around a value, a last line without a line end
// and a UTF-8 byte-order mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// The parsed contents of one profile file. Untouched lines keep their bytes;
// every line is written back with CR LF.
class ProfileImage {
 public:
  static ProfileImage Parse(std::string_view bytes);
  std::string Serialize() const;

  // The stored value with one pair of surrounding quotation marks removed;
  // false when the section or the key is missing. The first section and the
  // first key of a name count, as on Windows.
  bool Find(std::string_view section, std::string_view key, std::string& value) const;
  // Every section name, in file order.
  std::vector<std::string> SectionNames() const;
  // The section's value lines as "key=value" (value as Find gives it), in
  // file order; lines without "=" as they stand.
  std::vector<std::string> SectionLines(std::string_view section) const;

  // Replaces the key's value in place, or appends the key after the last
  // value line of its section, or appends the section at the end. A null
  // value removes the key, every line of it. False (and nothing changed) for names or values
  // that a line cannot hold: line breaks, zero bytes, "=" in a key, a key
  // that would read as a section header or a comment.
  bool Write(std::string_view section, std::string_view key, const std::string* value);

 private:
  enum class Kind { Other, Value, Bare };
  struct Line {
    std::string text;  // the bytes of the line, without its line end
    Kind kind = Kind::Other;
    std::string key;    // Value: trimmed key; Bare: trimmed text
    std::string value;  // Value: trimmed raw value, quotes kept
  };
  struct Section {
    std::string name;
    std::string header;  // the header line as it stands
    std::vector<Line> lines;
  };

  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);

  std::vector<Line> preamble_;  // lines above the first section header
  std::vector<Section> sections_;
  // Upper-cased name -> first section of that name.
  std::unordered_map<std::string, size_t> index_;
};

// The four profile operations. Buffers follow the Windows contract: results
// are cut to fit and always end in zero bytes inside the buffer; the counts
// returned exclude the final zero byte(s).

// The value of the key, or the default when the file, the section or the key
// is missing. At most size - 1 characters are copied.
size_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& defaultValue, char* buffer, size_t size,
                                const std::string& file);
// Stores the value (creating file, section and key as needed) or, with a null
// value, removes the key. False when the write was refused (errno EINVAL) or
// failed (errno says why).
bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string* value, const std::string& file);
// Section names, each followed by a zero byte, then one more zero byte.
size_t GetPrivateProfileSectionNamesA(char* buffer, size_t size, const std::string& file);
// The section's lines in the same layout.
size_t GetPrivateProfileSectionA(const std::string& section, char* buffer, size_t size,
                                 const std::string& file);

// The size of the file as the profile operations see it (inside a batch, the
// batch's contents); -1 when there is no file.
int64_t ProfileFileSize(const std::string& file);
// Size of a regular file that can be opened for reading; 0 otherwise.
int64_t ReadableFileSize(const std::string& path);

// Keeps one file in memory while it lives, so that a run of profile calls on
// that file costs one read or one write of it. Batches nest: the innermost
// batch of a file answers for it.
//
// Snapshot: the file is read once; reads of it are answered from that copy,
// so they all see one consistent state. Writes still go to the disk at once.
// Rewrite: the contents start empty and every read and write of the file
// works on memory; Commit replaces the file with the result in one step. If
// any write of the batch failed, or Commit is never called, the file on disk
// stays as it was.
class ProfileBatch {
 public:
  enum class Mode { Snapshot, Rewrite };
  ProfileBatch(const std::string& file, Mode mode);
  ~ProfileBatch();
  ProfileBatch(const ProfileBatch&) = delete;
  ProfileBatch& operator=(const ProfileBatch&) = delete;

  bool Active() const { return active_; }
  // Ends the batch. Rewrite: 0 when the file now holds the batch's contents,
  // otherwise the errno value of the first failure.
  int Commit();

 private:
  friend struct ProfileAccess;
  std::string file_;
  Mode mode_;
  bool active_ = false;
  ProfileBatch* outer_ = nullptr;
  bool exists_ = false;
  int failure_ = 0;
  ProfileImage image_;
};

// Counts of whole-file writes since the program started, for measurements.
struct ProfileWriteStats {
  uint64_t files = 0;
  uint64_t bytes = 0;
};
ProfileWriteStats GetProfileWriteStats();

}  // namespace platform
