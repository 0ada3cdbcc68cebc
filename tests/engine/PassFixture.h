// A registry with one group wired to folders inside a temporary folder, the
// temp path pointed there too, and a record of the file operations made.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/uTesselTypes.h"
#include "tests/engine/FakeStep.h"
#include "tests/support/TestSupport.h"

class PassTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  std::string tmp = dir.Sub("tmp/");
  std::string in = dir.Sub("in/");
  std::string out = dir.Sub("out/");
  std::string bad = dir.Sub("bad/");
  testing_support::ScopedTempPath scopedTemp{tmp};
  testing_support::ScopedLogFile log{dir.Path() + "pass.log"};
  TTesselGroups registry{TStepKinds::NoneOnly()};
  TTesselActionList* group = nullptr;
  std::vector<std::pair<std::string, std::string>> ops;  // operation, path

  void SetUp() override {
    group = registry.AddGroup("Out");
    group->Enabled = true;
    group->SourceMask = in + "*.txt";
    group->DestFolder = out.substr(0, out.size() - 1);  // without the final delimiter
    group->BadFolder = bad;
  }

  // A second group that takes what the first delivers into mid (a folder
  // ending in a delimiter) and delivers it to out.
  TTesselActionList* AddNextGroup(const std::string& mid) {
    group->DestFolder = mid;
    TTesselActionList* next = registry.AddGroup("Next");
    next->Enabled = true;
    next->SourceMask = mid + "*.txt";
    next->DestFolder = out;
    next->BadFolder = bad;
    return next;
  }

  TFakeStep* AddStep(const std::string& marker, bool enabled = true) {
    auto* step = new TFakeStep(marker);
    step->Enabled = enabled;
    group->AddAction(step);
    return step;
  }

  // Records the folders made and the deletes and removals tried; fails none.
  testing_support::ScopedFault RecordOps() {
    return testing_support::ScopedFault([this](std::string_view op, const std::string& path) {
      const bool madeNow = op == "mkdir" && !testing_support::DirExists(path);
      if (madeNow || op == "delete" || op == "rmdir") ops.emplace_back(op, path);
      return 0;
    });
  }

  static std::string Start(const std::string& name) {
    return "Начало обработки файла\t\"" + name + "\"";
  }
  static std::string End(const std::string& name) {
    return "Конец обработки файла\t\"" + name + "\"";
  }
};

inline const std::string kStars(55, '*');
inline const std::string kEquals(55, '=');
