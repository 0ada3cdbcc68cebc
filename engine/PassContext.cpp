#include "engine/PassContext.h"

#include "engine/DeliveryJournal.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

struct TEventLogSink::TFile {
  platform::AppendHandle handle;
  std::string endLine;  // a file's end line, kept for the next write; empty: none
};

TEventLogSink::TEventLogSink() : file_(new TFile) {}

TEventLogSink::~TEventLogSink() {
  Append({});
  delete file_;
}

void TEventLogSink::Append(const std::vector<std::pair<std::string, TLogKind>>& lines) {
  std::string bytes;
  std::string endLine;
  endLine.swap(file_->endLine);
  if (!endLine.empty()) bytes += endLine + "\r\n";
  for (const auto& line : lines) bytes += line.first + "\r\n";
  if (bytes.empty()) return;
  // A file that cannot be opened loses the lines, on screen as well; write
  // errors after opening are ignored, as WriteLog's are.
  (void)file_->handle.Append(LogFilePath(), bytes, 0644, /*followLink=*/true);
  if (!file_->handle.IsOpen() || !LogTarget) return;
  if (!endLine.empty()) LogTarget->AddLine(endLine, TLogKind::Normal);
  for (const auto& line : lines) LogTarget->AddLine(line.first, line.second);
}

void TEventLogSink::Write(TLogKind kind, const std::vector<std::string>& fields) {
  Append({{LogLine(fields), kind}});
}

void TEventLogSink::WriteLines(const std::vector<std::vector<std::string>>& lines) {
  std::vector<std::pair<std::string, TLogKind>> texts;
  for (const auto& fields : lines) texts.emplace_back(LogLine(fields), TLogKind::Normal);
  Append(texts);
}

void TEventLogSink::WriteEnd(const std::vector<std::string>& fields) {
  if (!file_->endLine.empty()) Append({});
  file_->endLine = LogLine(fields);
}

void TPassContext::Line(std::initializer_list<std::string> fields) const {
  Log->Write(TLogKind::Normal, std::vector<std::string>(fields));
}

void TPassContext::EndLine(std::initializer_list<std::string> fields) const {
  Log->WriteEnd(std::vector<std::string>(fields));
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
  if (TakenWork && source == *TakenWork) {
    options.opened = TakenCopy;
    options.lendOpened = true;  // the delivery reads it again
  }
  platform::CopyJournal journal;
  if (Pass.Journal) {
    journal = Pass.Journal->ForCopy();
    options.journal = &journal;
  }
  const int err = platform::CopyFile(source, target, options);
  if (error) *error = err;
  return err == 0;
}
