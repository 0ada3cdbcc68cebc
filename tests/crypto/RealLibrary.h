// Tests against liborlak itself: key pairs made by marvik once per test
// program, the library opened on their folders, a fresh registry (and so a
// fresh key cache) per test, the temp path and the log inside a TempDir.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/Orlak.h"
#include "engine/uTesselTypes.h"
#include "tests/support/TestSupport.h"

namespace real_library {

// The text of result 0, the text of every step that succeeded.
inline const std::string kOk = ResultMessage(0);

// Key folders holding the pairs A, B, C and D; Gone has a secret key but no
// public key there, so its signatures cannot be checked.
struct Keys {
  std::string secret;  // ends in "/"
  std::string pub;
};
const Keys& SharedKeys();

// Runs marvik with the arguments; true when it exits with status 0.
bool RunMarvik(const std::vector<std::string>& args);

class RealLibraryTest : public ::testing::Test {
 protected:
  // The keys are made before any test points the temp path into its own folder.
  static void SetUpTestSuite() { SharedKeys(); }
  void SetUp() override;
  void TearDown() override;

  // A file in the work folder with the given bytes; returns its path.
  std::string Put(const std::string& name, const std::string& bytes);
  // Signs in place with each key in turn.
  void SignWith(const std::string& path, const std::vector<std::string>& keys);

  testing_support::TempDir dir;
  std::string tmp = dir.Sub("tmp/");
  std::string work = dir.Sub("work/");
  testing_support::ScopedTempPath scopedTemp{tmp};
  testing_support::ScopedLogFile log{dir.Path() + "test.log"};
};

}  // namespace real_library
