#include "history/RecordCodec.h"

#include <cstdlib>

namespace {

// Steps are separated by RS, their fields by US: neither occurs in a name,
// a parameter text or a log line.
constexpr char kStepEnd = '\x1e';
constexpr char kFieldEnd = '\x1f';

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  return parts;
}

}  // namespace

std::string EncodeSteps(const std::vector<THistoryStep>& steps) {
  std::string text;
  for (const THistoryStep& step : steps) {
    for (const std::string& field :
         {std::to_string(step.Kind), step.Caption, step.Params, std::string(step.Ok ? "1" : "0"),
          std::to_string(step.Code), step.Text, step.CopiedTo}) {
      text += field;
      text += kFieldEnd;
    }
    // Only a step that used keys with fingerprints has the eighth field, so
    // every other step is kept as it always was.
    if (!step.Fingerprints.empty()) text += step.Fingerprints + kFieldEnd;
    text += kStepEnd;
  }
  return text;
}

std::vector<THistoryStep> DecodeSteps(const std::string& text) {
  std::vector<THistoryStep> steps;
  for (const std::string& part : Split(text, kStepEnd)) {
    const std::vector<std::string> f = Split(part, kFieldEnd);
    if (f.size() != 7 && f.size() != 8) continue;
    THistoryStep step;
    step.Kind = std::atoi(f[0].c_str());
    step.Caption = f[1];
    step.Params = f[2];
    step.Ok = f[3] == "1";
    step.Code = std::atoi(f[4].c_str());
    step.Text = f[5];
    step.CopiedTo = f[6];
    if (f.size() == 8) step.Fingerprints = f[7];
    steps.push_back(std::move(step));
  }
  return steps;
}

std::string CanonicalBytes(const std::vector<std::string>& fields) {
  std::string bytes;
  for (const std::string& field : fields) {
    bytes += std::to_string(field.size());
    bytes += ':';
    bytes += field;
  }
  return bytes;
}
