// The text of a profile (INI) file as the Windows profile-string functions
// read and edit it: Windows-1251 bytes, CR LF lines, section and key names
// matched without regard to letter case. Files written by hand or by Windows
// itself are read too: LF or CR line ends, blank lines, ";" comment lines,
// blanks around "=", one pair of quotation marks around a value, a last line
// without a line end and a UTF-8 byte-order mark.
#pragma once

#include <cstddef>
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

}  // namespace platform
