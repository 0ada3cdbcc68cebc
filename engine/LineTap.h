// Lines passed on to another sink, their text kept: what a step wrote (its
// signature report among it) goes into the file's road as well as the log.
#pragma once

#include <string>
#include <vector>

#include "engine/PassContext.h"

class TLineTap : public TLogSink {
 public:
  explicit TLineTap(TLogSink& next) : next_(next) {}
  void Write(TLogKind kind, const std::vector<std::string>& fields) override {
    Keep(fields);
    next_.Write(kind, fields);
  }
  void WriteLines(const std::vector<std::vector<std::string>>& lines) override {
    for (const auto& fields : lines) Keep(fields);
    next_.WriteLines(lines);
  }
  void WriteEnd(const std::vector<std::string>& fields) override {
    Keep(fields);
    next_.WriteEnd(fields);
  }
  void Subject(const std::string& group, const std::string& file) override {
    next_.Subject(group, file);
  }
  // The lines kept since the last Take, one per line, and forgets them.
  std::string Take() {
    std::string text;
    text.swap(text_);
    return text;
  }

 private:
  void Keep(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) line += (line.empty() ? "" : " ") + field;
    text_ += (text_.empty() ? "" : "\n") + line;
  }
  TLogSink& next_;
  std::string text_;
};
