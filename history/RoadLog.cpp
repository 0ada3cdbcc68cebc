#include "history/RoadLog.h"

#include <cerrno>
#include <cstdint>
#include <optional>

#include "engine/LogEscape.h"
#include "platform/Clock.h"
#include "platform/UnpackedFile.h"

namespace {

// The fields the pass writes around a file's lines (engine/ProcessingPass.cpp).
const std::string kBegin = "Начало обработки файла";
const std::string kEnd = "Конец обработки файла";

struct TLogLine {
  std::string Text;
  std::string Stamp;
  std::vector<std::string> Fields;  // escaped, as written
};

TLogLine Split(const std::string& text) {
  TLogLine line;
  line.Text = text;
  size_t tab = text.find('\t');
  line.Stamp = text.substr(0, tab);
  while (tab != std::string::npos) {
    const size_t next = text.find('\t', tab + 1);
    line.Fields.push_back(text.substr(tab + 1, next == std::string::npos ? next : next - tab - 1));
    tab = next;
  }
  return line;
}

// Hands each line of a log file's bytes, without its CR LF, to visit until it
// returns false.
template <class Visit>
void EachLogLine(const std::string& bytes, Visit visit) {
  for (size_t start = 0; start < bytes.size();) {
    const size_t nl = bytes.find('\n', start);
    size_t end = nl == std::string::npos ? bytes.size() : nl;
    if (nl != std::string::npos && end > start && bytes[end - 1] == '\r') --end;
    if (!visit(bytes.substr(start, end - start)) || nl == std::string::npos) return;
    start = nl + 1;
  }
}

// The time of a log file's first line that has one.
std::optional<int64_t> FirstLineTime(const std::string& bytes) {
  std::optional<int64_t> first;
  EachLogLine(bytes, [&](const std::string& text) {
    first = platform::ParseTimestamp(Split(text).Stamp);
    return !first;
  });
  return first;
}

class TRoadPicker {
 public:
  explicit TRoadPicker(const THistoryRecord& r)
      : record_(r),
        quoted_(EscapeLogField("\"" + r.Name + "\"")),
        source_(EscapeLogField(r.Source)),
        target_(r.Target.empty() ? std::string() : EscapeLogField(r.Target)) {}

  void Feed(const std::string& text) {
    const TLogLine line = Split(text);
    // A block whose end was never written (a kill) ends where the next file or group begins.
    if (inBlock_ && (IsMark(line, kBegin, false) || IsSeparator(line))) CloseBlock();
    if (inBlock_) {
      block_.push_back(line.Text);
      blockLast_ = line.Stamp;
      if (IsMark(line, kEnd, true)) CloseBlock();
      return;
    }
    if (IsMark(line, kBegin, true)) {
      inBlock_ = true;
      block_ = {line.Text};
      blockStart_ = Time(line.Stamp);
      blockLast_ = line.Stamp;
      return;
    }
    if (!Names(line)) return;
    const int64_t at = Time(line.Stamp);
    if (Within(at, at)) picked_.push_back(line.Text);
  }

  // Whether a log file, the next older to the ones fed after it, may hold
  // lines of the road that the newer ones do not.
  bool OlderMayHold(const std::string& newer) const {
    const std::optional<int64_t> first = FirstLineTime(newer);
    return !first || *first >= record_.TakenAt || ContinuesBlock(newer);
  }
  // Whether a log file holds no line of the road: it begins after the record was done.
  bool Misses(const std::string& bytes) const {
    const std::optional<int64_t> first = FirstLineTime(bytes);
    return first && *first > record_.DoneAt;
  }

  std::vector<std::string> Finish() {
    if (inBlock_) CloseBlock();
    return std::move(picked_);
  }

 private:
  // A begin or end line; ours: of this file's name, else of any file.
  bool IsMark(const TLogLine& line, const std::string& mark, bool ours) const {
    return line.Fields.size() >= 2 && line.Fields[0] == mark &&
           (!ours || line.Fields[1] == quoted_);
  }
  // The line of stars or equal signs the pass writes before a group and a file.
  static bool IsSeparator(const TLogLine& line) {
    if (line.Fields.size() != 1) return false;
    const std::string& field = line.Fields[0];
    return field.size() >= 20 && (field[0] == '*' || field[0] == '=') &&
           field.find_first_not_of(field[0]) == std::string::npos;
  }
  // Whether the file begins with the rest of this road's block: an end of
  // the file's name, not before it was taken, comes before any file's begin
  // line or separator.
  bool ContinuesBlock(const std::string& bytes) const {
    bool continues = false;
    EachLogLine(bytes, [&](const std::string& text) {
      const TLogLine line = Split(text);
      if (IsMark(line, kBegin, false) || IsSeparator(line)) return false;
      const std::optional<int64_t> at = platform::ParseTimestamp(line.Stamp);
      continues = IsMark(line, kEnd, true) && (!at || *at >= record_.TakenAt);
      return !continues;
    });
    return continues;
  }
  bool Names(const TLogLine& line) const {
    for (const std::string& field : line.Fields)
      if (field == quoted_ || field.find(source_) != std::string::npos ||
          (!target_.empty() && field.find(target_) != std::string::npos))
        return true;
    return false;
  }
  // A line whose time cannot be read (the locale changed since) stands at
  // the last time read before it.
  int64_t Time(const std::string& stamp) {
    if (const std::optional<int64_t> t = platform::ParseTimestamp(stamp)) last_ = *t;
    return last_;
  }
  bool Within(int64_t from, int64_t to) const {
    return from <= record_.DoneAt && to >= record_.TakenAt;
  }
  void CloseBlock() {
    inBlock_ = false;
    if (Within(blockStart_, Time(blockLast_)))
      picked_.insert(picked_.end(), block_.begin(), block_.end());
    block_.clear();
  }

  const THistoryRecord& record_;
  const std::string quoted_, source_, target_;
  bool inBlock_ = false;
  std::vector<std::string> block_;
  int64_t blockStart_ = 0;
  std::string blockLast_;
  int64_t last_ = 0;
  std::vector<std::string> picked_;
};

}  // namespace

std::vector<std::string> RoadLogLines(const THistoryRecord& record, const std::string& logPath,
                                      std::vector<TRoadLogFile>* files) {
  TRoadPicker picker(record);
  std::vector<TRoadLogFile> read;
  std::vector<std::string> texts;  // of the files read, newest first
  for (int n = 0;; ++n) {
    std::string path = logPath, bytes;
    if (n > 0) path += "." + std::to_string(n);
    int error = platform::ReadUnpackedFile(path, bytes);
    if (n > 0 && error == ENOENT) error = platform::ReadUnpackedFile(path += ".gz", bytes);
    if (n > 0 && error == ENOENT) break;
    read.push_back({path, error});
    if (error) continue;
    const bool older = picker.OlderMayHold(bytes);
    // Lines all after the road are not kept: an old record reads many files.
    if (picker.Misses(bytes)) bytes.clear();
    texts.push_back(std::move(bytes));
    if (!older) break;
  }
  for (auto text = texts.rbegin(); text != texts.rend(); ++text)
    EachLogLine(*text, [&](const std::string& line) {
      picker.Feed(line);
      return true;
    });
  if (files) *files = std::move(read);
  return picker.Finish();
}
