// Lines kept back instead of written: a file retried while its group waits
// for a fault to be mended says nothing unless its road turns out
// different, and then says all of it, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/PassContext.h"

class TLineBuffer : public TLogSink {
 public:
  void Write(TLogKind kind, const std::vector<std::string>& fields) override {
    entries_.push_back({Entry::Line, kind, {fields}});
  }
  void WriteLines(const std::vector<std::vector<std::string>>& lines) override {
    entries_.push_back({Entry::Lines, TLogKind::Normal, lines});
  }
  void Subject(const std::string& group, const std::string& file) override {
    entries_.push_back({Entry::Subject, TLogKind::Normal, {{group, file}}});
  }
  // Writes what was kept to the sink, as it came, and forgets it.
  void ReplayTo(TLogSink& sink) {
    for (const Entry& entry : entries_) {
      switch (entry.what) {
        case Entry::Line:
          sink.Write(entry.kind, entry.lines.front());
          break;
        case Entry::Lines:
          sink.WriteLines(entry.lines);
          break;
        case Entry::Subject:
          sink.Subject(entry.lines.front()[0], entry.lines.front()[1]);
          break;
      }
    }
    entries_.clear();
  }

 private:
  struct Entry {
    enum { Line, Lines, Subject } what;
    TLogKind kind;
    std::vector<std::vector<std::string>> lines;
  };
  std::vector<Entry> entries_;
};
