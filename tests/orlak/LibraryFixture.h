// A library opened on fresh key folders with a few keys, for the tests that
// go through the exported functions. Paths are Windows-1251 text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orlak.h"
#include "tests/support/TestSupport.h"

namespace orlak_test {

// The formats' sizes as the tests know them, apart from the library's own
// constants, so that a change of format shows as a failing test.
constexpr size_t kRecord = 104;       // one signature record
constexpr size_t kChunk = 64 * 1024;  // plaintext bytes per encrypted chunk

// Writes a new key pair's files with the library's own key code.
void MakeKey(const std::string& secretFolder, const std::string& publicFolder,
             const std::string& id);
std::string RandomText(size_t size);
// bytes with the bits of mask flipped at offset.
std::string Flipped(std::string bytes, size_t offset, unsigned char mask = 0x01);

struct CheckResult {
  uint16_t code = 0;
  std::vector<std::string> ids;
  std::vector<int> statuses;
  bool AllValid() const;
};

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir_.Sub(name); }
  // ExtractKey from the public-keys folder; the test fails when it does.
  std::vector<unsigned char> Block(const std::string& id);
  CheckResult Check(const std::string& file, const std::string* separate = nullptr);
  // Names in a folder that are not the given ones: side files left behind.
  std::vector<std::string> Leftovers(const std::string& folder,
                                     const std::vector<std::string>& expected);

  testing_support::TempDir dir_;
  std::string secret_;
  std::string public_;
};

}  // namespace orlak_test
