#include "platform/ProfileImage.h"

#include <algorithm>
#include <utility>

#include "platform/Cp1251.h"

namespace platform {
namespace {

// Text helpers. ASCII literals only: the fuzzing build cannot convert others.

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperCp1251(static_cast<unsigned char>(a[i])) !=
        UpperCp1251(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// Windows drops one pair of matching quotation marks around a value.
std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// A value that reading would change (outer blanks trimmed, outer quotes
// dropped) is stored inside one more pair of quotes, so it reads back as it was.
std::string Encode(const std::string& v) {
  const bool changes =
      !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                     (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()));
  return changes ? '"' + v + '"' : v;
}

// Line ends would split the line; a zero byte would cut the zero-separated lists.
bool UnfitForALine(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
}

}  // namespace

ProfileImage ProfileImage::Parse(std::string_view bytes) {
  ProfileImage image;
  // Every leading byte-order mark goes, so the first line we write back never
  // starts with one that the next read would drop.
  while (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    const std::string_view raw = bytes.substr(pos, end - pos);
    pos = end;
    if (pos < bytes.size())
      pos += (bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n') ? 2 : 1;

    const std::string_view t = Trim(raw);
    if (!t.empty() && t.front() == '[') {
      // The last "]" closes the name, so a name holding "]" survives.
      const size_t close = t.rfind(']');
      if (close != std::string_view::npos) {
        Section section;
        section.name = std::string(t.substr(1, close - 1));
        section.header = std::string(raw);
        image.index_.emplace(UpperCase(section.name), image.sections_.size());
        image.sections_.push_back(std::move(section));
        continue;
      }
    }
    Line line;
    line.text = std::string(raw);
    if (!t.empty() && t.front() != ';' && t.front() != '[') {
      const size_t eq = t.find('=');
      if (eq == std::string_view::npos) {
        line.kind = Kind::Bare;
        line.key = std::string(t);
      } else {
        line.kind = Kind::Value;
        line.key = std::string(Trim(t.substr(0, eq)));
        line.value = std::string(Trim(t.substr(eq + 1)));
      }
    }
    (image.sections_.empty() ? image.preamble_ : image.sections_.back().lines)
        .push_back(std::move(line));
  }
  return image;
}

std::string ProfileImage::Serialize() const {
  std::string out;
  auto put = [&out](const std::string& text) {
    out += text;
    out += "\r\n";
  };
  for (const Line& line : preamble_) put(line.text);
  for (const Section& section : sections_) {
    put(section.header);
    for (const Line& line : section.lines) put(line.text);
  }
  return out;
}

const ProfileImage::Section* ProfileImage::FindSection(std::string_view name) const {
  auto it = index_.find(UpperCase(name));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

ProfileImage::Section* ProfileImage::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

bool ProfileImage::Find(std::string_view section, std::string_view key, std::string& value) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return false;
  key = Trim(key);
  for (const Line& line : s->lines) {
    if (line.kind == Kind::Value && SameName(line.key, key)) {
      value = std::string(Unquote(line.value));
      return true;
    }
  }
  return false;
}

std::vector<std::string> ProfileImage::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& section : sections_) names.push_back(section.name);
  return names;
}

std::vector<std::string> ProfileImage::SectionLines(std::string_view section) const {
  std::vector<std::string> lines;
  const Section* s = FindSection(section);
  if (s == nullptr) return lines;
  for (const Line& line : s->lines) {
    if (line.kind == Kind::Value)
      lines.push_back(line.key + '=' + std::string(Unquote(line.value)));
    else if (line.kind == Kind::Bare)
      lines.push_back(line.key);
  }
  return lines;
}

bool ProfileImage::Write(std::string_view section, std::string_view key, const std::string* value) {
  const std::string_view k = Trim(key);
  if (UnfitForALine(section) || UnfitForALine(key) || key.find('=') != key.npos ||
      (!k.empty() && (k.front() == '[' || k.front() == ';')) || (value && UnfitForALine(*value)))
    return false;

  auto makeLine = [value](std::string_view storedKey) {
    Line line;
    line.kind = Kind::Value;
    line.key = std::string(storedKey);
    line.value = Encode(*value);
    line.text = line.key + '=' + line.value;
    return line;
  };

  Section* s = FindSection(section);
  if (s == nullptr) {
    if (value == nullptr) return true;
    Section added;
    added.name = std::string(section);
    added.header = '[' + added.name + ']';
    added.lines.push_back(makeLine(k));
    index_.emplace(UpperCase(added.name), sections_.size());
    sections_.push_back(std::move(added));
    return true;
  }

  std::vector<Line>& lines = s->lines;
  auto isKey = [&](const Line& line) { return line.kind == Kind::Value && SameName(line.key, k); };
  if (value == nullptr) {
    // A hand-edited file may name the key twice; a removed key must not
    // come back from its second line.
    std::erase_if(lines, isKey);
    return true;
  }
  size_t after = 0;  // just below the last value line
  for (size_t i = 0; i < lines.size(); ++i) {
    if (isKey(lines[i])) {
      lines[i] = makeLine(lines[i].key);  // the stored spelling of the key stays
      return true;
    }
    if (lines[i].kind != Kind::Other) after = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after), makeLine(k));
  return true;
}

}  // namespace platform
