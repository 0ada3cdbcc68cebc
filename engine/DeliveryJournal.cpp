#include "engine/DeliveryJournal.h"

#include <cstdint>
#include <sstream>
#include <vector>

#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "platform/Durable.h"

namespace {

// A field is its length, a colon and its bytes, so any name survives.
void PutField(std::string& record, const std::string& text) {
  record += std::to_string(text.size());
  record += ':';
  record += text;
  record += ' ';
}

void PutNumber(std::string& record, uint64_t value) {
  PutField(record, std::to_string(value));
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

std::string FolderPart(const std::string& path) {
  const auto slash = path.rfind(platform::kPathDelimiter);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void FinishDelivery(const std::string& source, const platform::FileStat& taken,
                    const std::string& target, uint64_t device, uint64_t inode) {
  platform::FileStat now;
  if (platform::StatPath(target, now) != 0 || now.device != device || now.inode != inode)
    return;  // it never took the target's name: the source is processed again
  platform::FileStat sourceNow;
  if (platform::StatPath(source, sourceNow) != 0 || sourceNow.device != taken.device ||
      sourceNow.inode != taken.inode || sourceNow.size != taken.size ||
      sourceNow.mtimeNs != taken.mtimeNs)
    return;  // gone already, or rewritten since: a new file for the next pass
  if (int err = platform::SyncFileSystem(FolderPart(target))) {
    WriteFailureLog({"Ошибка записи на диск", FolderPart(target), platform::ErrorText(err)});
    return;
  }
  if (int err = platform::DeleteFile(source)) {
    WriteFailureLog({"Исходный файл не удалён", source, platform::ErrorText(err)});
    return;
  }
  WriteLog({"Файл был доставлен до сбоя, исходный файл удалён", source, target});
}

}  // namespace

std::string DeliveryJournalPath() {
  return platform::ReplaceExtension(LogFilePath(), ".journal");
}

int TDeliveryJournal::Append(const std::string& record) {
  const int err = file_.Append(path_, record, 0600);
  if (err != 0 && !failureLogged_) {
    // Deliveries go on: without the journal a killed run may deliver a file
    // twice, but never loses one.
    failureLogged_ = true;
    WriteFailureLog({"Ошибка записи журнала доставки", path_, platform::ErrorText(err)});
  }
  return 0;
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
    PutField(record, "D");
    PutField(record, source);
    PutNumber(record, taken.device);
    PutNumber(record, taken.inode);
    PutNumber(record, taken.size);
    PutNumber(record, static_cast<uint64_t>(taken.mtimeNs));
    PutField(record, target);
    PutNumber(record, device);
    PutNumber(record, inode);
    return Append(record + "\n");
  };
  return journal;
}

void TDeliveryJournal::Recover() {
  std::string bytes;
  if (platform::ReadWholeFile(path_, bytes) != 0 || bytes.empty()) return;
  RecordReader reader(bytes);
  while (!reader.AtEnd()) {
    std::string kind;
    if (!reader.Field(kind)) break;  // a record cut short by the kill: nothing after it
    if (kind == "S") {
      std::string side;
      if (!reader.Field(side) || !reader.EndOfRecord()) break;
      platform::FileStat st;
      // Only a side name of ours, and only while it still is one.
      if (platform::IsSideName(ExtractFileName(side)) && platform::LinkStat(side, st) == 0 &&
          st.isRegular)
        platform::DeleteFile(side);
    } else if (kind == "D") {
      std::string source, target;
      platform::FileStat taken;
      uint64_t mtime = 0, device = 0, inode = 0;
      if (!reader.Field(source) || !reader.Number(taken.device) || !reader.Number(taken.inode) ||
          !reader.Number(taken.size) || !reader.Number(mtime) || !reader.Field(target) ||
          !reader.Number(device) || !reader.Number(inode) || !reader.EndOfRecord())
        break;
      taken.mtimeNs = static_cast<int64_t>(mtime);
      FinishDelivery(source, taken, target, device, inode);
    } else {
      break;
    }
  }
  Clear();
}

void TDeliveryJournal::Clear() {
  // Records left by a failed truncation are finished again at the next
  // replay; each of them first checks what is still to do.
  (void)platform::TruncateFile(path_);
}
