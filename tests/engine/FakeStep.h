// A step kind for tests only: appends a marker to the file, or fails on
// demand, logging one line as the real kinds do.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "engine/uTesselTypes.h"

class TFakeStep : public TTesselAction {
 public:
  explicit TFakeStep(std::string marker) : marker_(std::move(marker)) {}

  // Names of files (bare) on which the step fails.
  std::set<std::string> FailOn;
  // While set, every file fails as a missing key would: not the file's fault.
  std::string MissingKey;
  int Runs = 0;

  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override;
  std::string GetCaption() const override { return "Тест " + marker_; }
  std::string GetParamText() const override { return marker_; }
  uint8_t GetKind() const override { return 0; }

 private:
  std::string marker_;
};

// A do-nothing step that first runs a test's action on the input file: a peer
// writing into the source folder, or a pass started from inside a pass.
class THookStep : public TTesselAction {
 public:
  explicit THookStep(std::function<void(const std::string& input)> hook) : hook_(std::move(hook)) {}

  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override {
    if (hook_) hook_(InputFileName);
    OutputFileName = InputFileName;
    return TTesselAction::Run(context, InputFileName, OutputFileName);
  }
  std::string GetCaption() const override { return "hook"; }
  std::string GetParamText() const override { return ""; }
  uint8_t GetKind() const override { return kKindNone; }

 private:
  std::function<void(const std::string& input)> hook_;
};
