#include "engine/DeliveryJournal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <set>
#include <string_view>
#include <vector>

#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "platform/Durable.h"

namespace {

// A field is its length, a colon and its bytes, so any name survives.
// The decimal digits of value, written into digits.
std::string_view Decimal(char (&digits)[24], uint64_t value) {
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return {digits, static_cast<size_t>(end - digits)};
}

void PutField(std::string& record, std::string_view text) {
  char digits[24];
  record += Decimal(digits, text.size());
  record += ':';
  record += text;
  record += ' ';
}

void PutNumber(std::string& record, uint64_t value) {
  char digits[24];
  PutField(record, Decimal(digits, value));
}

// Reads the fields of one record; false at the end or at a torn record.
class RecordReader {
 public:
  explicit RecordReader(const std::string& bytes) : bytes_(bytes) {}
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  bool Field(std::string& out) {
    const size_t colon = bytes_.find(':', pos_);
    if (colon == std::string::npos || colon == pos_ || colon - pos_ > 6) return false;
    size_t length = 0;
    for (size_t i = pos_; i < colon; ++i) {
      if (bytes_[i] < '0' || bytes_[i] > '9') return false;
      length = length * 10 + static_cast<size_t>(bytes_[i] - '0');
    }
    if (colon + 1 + length + 1 > bytes_.size() || bytes_[colon + 1 + length] != ' ') return false;
    out = bytes_.substr(colon + 1, length);
    pos_ = colon + 1 + length + 1;
    return true;
  }
  bool Number(uint64_t& out) {
    std::string text;
    if (!Field(text) || text.empty()) return false;
    out = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return false;
      out = out * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
  }
  bool EndOfRecord() {
    if (pos_ >= bytes_.size() || bytes_[pos_] != '\n') return false;
    ++pos_;
    return true;
  }

 private:
  const std::string& bytes_;
  size_t pos_ = 0;
};

struct Record {
  char kind = 0;  // 'S' side name, 'D' delivery
  std::string side;
  std::string source, target;
  platform::FileStat taken;
  uint64_t device = 0, inode = 0;
};

// Every complete record; a record cut short by a kill ends the list.
std::vector<Record> ReadRecords(const std::string& bytes) {
  std::vector<Record> records;
  RecordReader reader(bytes);
  while (!reader.AtEnd()) {
    Record r;
    std::string kind;
    if (!reader.Field(kind)) break;
    if (kind == "S") {
      if (!reader.Field(r.side) || !reader.EndOfRecord()) break;
      r.kind = 'S';
    } else if (kind == "D") {
      uint64_t mtime = 0;
      if (!reader.Field(r.source) || !reader.Number(r.taken.device) ||
          !reader.Number(r.taken.inode) || !reader.Number(r.taken.size) || !reader.Number(mtime) ||
          !reader.Field(r.target) || !reader.Number(r.device) || !reader.Number(r.inode) ||
          !reader.EndOfRecord())
        break;
      r.taken.mtimeNs = static_cast<int64_t>(mtime);
      r.kind = 'D';
    } else {
      break;
    }
    records.push_back(std::move(r));
  }
  return records;
}

bool Contains(const std::vector<std::string>& folders, const std::string& folder) {
  return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

// Whether the record names only what a pass of this script can have made.
bool InScope(const Record& r, const std::vector<TJournalScope>& script) {
  if (r.kind == 'S') {
    const std::string folder = ExtractFileFolder(platform::Utf8ToCp1251Lossy(r.side));
    return std::any_of(script.begin(), script.end(), [&](const TJournalScope& scope) {
      return Contains(scope.TargetFolders, folder);
    });
  }
  if (ExtractFileName(r.source).empty() || ExtractFileName(r.source) != ExtractFileName(r.target))
    return false;
  const std::string from = ExtractFileFolder(r.source), to = ExtractFileFolder(r.target);
  return std::any_of(script.begin(), script.end(), [&](const TJournalScope& scope) {
    return scope.SourceFolder == from && Contains(scope.TargetFolders, to);
  });
}

// True when the source was deleted; complete when the target holds the result.
bool FinishDelivery(const Record& r, bool& complete) {
  platform::FileStat now;
  complete = false;
  if (platform::StatPath(r.target, now) != 0 || now.device != r.device || now.inode != r.inode)
    return false;  // it never took the target's name: the source is processed again
  complete = true;
  platform::FileStat sourceNow;
  if (platform::LinkStat(r.source, sourceNow) != 0 || !sourceNow.isRegular ||
      sourceNow.device != r.taken.device || sourceNow.inode != r.taken.inode ||
      sourceNow.size != r.taken.size || sourceNow.mtimeNs != r.taken.mtimeNs)
    return false;  // gone already, or rewritten since: a new file for the next pass
  if (int err = platform::SyncFileSystem(ExtractFileFolder(r.target))) {
    WriteFailureLog(
        {"Ошибка записи на диск", ExtractFileFolder(r.target), platform::ErrorText(err)});
    return false;
  }
  if (int err = platform::DeleteFile(r.source)) {
    WriteFailureLog({"Исходный файл не удалён", r.source, platform::ErrorText(err)});
    return false;
  }
  WriteLog({"Файл был доставлен до сбоя, исходный файл удалён", r.source, r.target});
  return true;
}

// Whether the delivery went to its group's bad-files folder.
bool IsBadFolder(const Record& r, const std::vector<TJournalScope>& script) {
  const std::string from = ExtractFileFolder(r.source), to = ExtractFileFolder(r.target);
  return std::any_of(script.begin(), script.end(), [&](const TJournalScope& scope) {
    return scope.SourceFolder == from && scope.BadFolder == to;
  });
}

void AddScopeFolder(std::vector<std::string>& folders, const std::string& folder) {
  // An empty folder is "not set": nothing is ever delivered there.
  if (!folder.empty()) folders.push_back(IncludeTrailingDelimiter(folder));
}

}  // namespace

TJournalScope JournalScopeOf(const TTesselActionList& group) {
  TJournalScope scope;
  std::string mask;
  SplitSourceMask(group.SourceMask, scope.SourceFolder, mask);
  AddScopeFolder(scope.TargetFolders, group.DestFolder);
  AddScopeFolder(scope.TargetFolders, group.BadFolder);
  if (!group.BadFolder.empty()) scope.BadFolder = IncludeTrailingDelimiter(group.BadFolder);
  for (int i = 0; i < group.ActionCount(); ++i)
    if (const TTesselAction* step = group.GetAction(i))
      AddScopeFolder(scope.TargetFolders, step->CopyTo);
  return scope;
}

std::vector<TJournalScope> JournalScopesOf(const TTesselGroups& script) {
  std::vector<TJournalScope> scopes;
  for (int i = 0; i < script.GroupCount(); ++i)
    if (const TTesselActionList* group = script.GetGroup(i))
      scopes.push_back(JournalScopeOf(*group));
  return scopes;
}

std::string DeliveryJournalPath() {
  return platform::ReplaceExtension(LogFilePath(), ".journal");
}

int TDeliveryJournal::Append(const std::string& record) {
  int err = file_.AppendPrivate(path_, record);
  if (err == EPERM && !setAsideTried_) {
    // Someone else's file took the journal's name since the replay.
    SetAside("чужой файл или доступен другим");
    err = file_.AppendPrivate(path_, record);
  }
  if (err != 0 && !failureLogged_) {
    // Deliveries go on: without the journal a killed run may deliver a file
    // twice, but never loses one.
    failureLogged_ = true;
    WriteFailureLog({"Ошибка записи журнала доставки", path_, platform::ErrorText(err)});
  }
  return 0;
}

void TDeliveryJournal::Sync() {
  if (int err = file_.Sync(); err != 0 && !failureLogged_) {
    failureLogged_ = true;
    WriteFailureLog({"Ошибка записи журнала доставки", path_, platform::ErrorText(err)});
  }
}

void TDeliveryJournal::SetAside(const std::string& reason) {
  setAsideTried_ = true;
  file_.Close();
  const std::string aside = path_ + ".untrusted";
  if (int err = platform::RenameFile(path_, aside))
    WriteFailureLog({"Журнал доставки не принят", path_, reason, platform::ErrorText(err)});
  else
    WriteFailureLog({"Журнал доставки не принят и отложен", aside, reason});
}

platform::CopyJournal TDeliveryJournal::ForCopy() {
  platform::CopyJournal journal;
  journal.BeforeSideName = [this](const std::string& nativeSide) {
    std::string record;
    PutField(record, "S");
    PutField(record, platform::Utf8ToCp1251Lossy(nativeSide));
    return Append(record + "\n");
  };
  return journal;
}

platform::CopyJournal TDeliveryJournal::ForDelivery(const std::string& source,
                                                    const platform::FileStat& taken,
                                                    const std::string& target) {
  platform::CopyJournal journal = ForCopy();
  journal.BeforeCommit = [this, source, taken, target](uint64_t device, uint64_t inode) {
    std::string record;
    record.reserve(source.size() + target.size() + 160);
    PutField(record, "D");
    PutField(record, source);
    PutNumber(record, taken.device);
    PutNumber(record, taken.inode);
    PutNumber(record, taken.size);
    PutNumber(record, static_cast<uint64_t>(taken.mtimeNs));
    PutField(record, target);
    PutNumber(record, device);
    PutNumber(record, inode);
    record += '\n';
    return Append(record);
  };
  return journal;
}

void TDeliveryJournal::Recover(const std::vector<TJournalScope>& script,
                               const TRecoveredDelivery& recovered) {
  std::string bytes;
  const int err = platform::ReadPrivateFile(path_, bytes);
  if (err == EPERM) return SetAside("чужой файл или доступен другим");
  if (err != 0 || bytes.empty()) return;
  const std::vector<Record> records = ReadRecords(bytes);
  for (const Record& r : records)
    if (!InScope(r, script)) return SetAside("запись вне папок сценария");

  std::set<std::string> released;
  for (const Record& r : records) {
    if (r.kind == 'S') {
      platform::FileStat st;
      // Only a side name of ours, and only while it still is one.
      if (platform::IsSideName(ExtractFileName(r.side)) && platform::LinkStat(r.side, st) == 0 &&
          st.isRegular)
        (void)platform::DeleteFile(r.side);  // a side name left over is harmless
    } else {
      bool complete = false;
      if (FinishDelivery(r, complete)) released.insert(ExtractFileFolder(r.source));
      if (complete && recovered) recovered(r.source, r.taken.size, r.taken.mtimeNs, r.target,
                                           IsBadFolder(r, script));
    }
  }
  // The deletions reach the disk before the records that explain them go.
  for (const std::string& folder : released)
    if (int syncErr = platform::SyncFileSystem(folder)) {
      WriteFailureLog({"Ошибка записи на диск", folder, platform::ErrorText(syncErr)});
      return;
    }
  Clear();
}

void TDeliveryJournal::Clear() {
  // Records left by a failed truncation are finished again at the next
  // replay; each of them first checks what is still to do.
  (void)platform::TruncatePrivateFile(path_);
}
