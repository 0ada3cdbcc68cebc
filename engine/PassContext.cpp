#include "engine/PassContext.h"

#include "engine/DeliveryJournal.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

struct TEventLogSink::TFile {
  platform::AppendHandle handle;
};

TEventLogSink::TEventLogSink() : file_(new TFile) {}

TEventLogSink::~TEventLogSink() {
  delete file_;
}

void TEventLogSink::Write(TLogKind kind, const std::vector<std::string>& fields) {
  const std::string line = LogLine(fields);
  // One write per line, so lines of two writers never mix. A file that
  // cannot be opened loses the line, on screen as well; write errors after
  // opening are ignored, as WriteLog's are.
  const int err = file_->handle.Append(LogFilePath(), line + "\r\n", 0644, /*followLink=*/true);
  if (file_->handle.IsOpen() && LogTarget) LogTarget->AddLine(line, kind);
  (void)err;
}

void TEventLogSink::WriteLines(const std::vector<std::vector<std::string>>& lines) {
  std::vector<std::string> texts;
  std::string bytes;
  for (const auto& fields : lines) {
    texts.push_back(LogLine(fields));
    bytes += texts.back() + "\r\n";
  }
  // Whole lines in one write: another writer's line comes before or after them.
  (void)file_->handle.Append(LogFilePath(), bytes, 0644, /*followLink=*/true);
  if (file_->handle.IsOpen() && LogTarget)
    for (const std::string& text : texts) LogTarget->AddLine(text, TLogKind::Normal);
}

void TPassContext::Line(std::initializer_list<std::string> fields) const {
  Log->Write(TLogKind::Normal, std::vector<std::string>(fields));
}

void TPassContext::Failure(std::initializer_list<std::string> fields) const {
  Log->Write(TLogKind::Failure, std::vector<std::string>(fields));
}

void TPassContext::Write(TLogKind kind, const std::vector<std::string>& fields) const {
  Log->Write(kind, fields);
}

std::string TPassContext::Temp() const {
  return TempFolder.empty() ? platform::TempPath() : TempFolder;
}

bool TStepContext::Copy(const std::string& source, const std::string& target, int* error) const {
  platform::CopyOptions options;
  options.modeCap = ModeCap;
  platform::CopyJournal journal;
  if (Pass.Journal) {
    journal = Pass.Journal->ForCopy();
    options.journal = &journal;
  }
  const int err = platform::CopyFile(source, target, options);
  if (error) *error = err;
  return err == 0;
}
