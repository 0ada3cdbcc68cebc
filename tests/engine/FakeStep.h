// A step kind for tests only: appends a marker to the file, or fails on
// demand, logging one line as the real kinds do.
#pragma once

#include <set>
#include <string>

#include "engine/uTesselTypes.h"

class TFakeStep : public TTesselAction {
 public:
  explicit TFakeStep(std::string marker) : marker_(std::move(marker)) {}

  // Names of files (bare) on which the step fails.
  std::set<std::string> FailOn;
  int Runs = 0;

  bool Execute(const std::string& InputFileName, std::string& OutputFileName) override;
  std::string GetCaption() const override { return "Тест " + marker_; }
  std::string GetParamText() const override { return marker_; }
  uint8_t GetKind() const override { return 0; }

 private:
  std::string marker_;
};
