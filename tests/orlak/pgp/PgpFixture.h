// The library opened on the folders of the shared OpenPGP keys, with a
// working folder per test and the calls in the shape the steps make them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Peers.h"
#include "orlak.h"
#include "tests/orlak/LibraryFixture.h"
#include "tests/support/TestSupport.h"

namespace pgp_test {

class PgpTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir_.Sub(name); }
  std::vector<unsigned char> Block(const std::string& id, const std::string* folder = nullptr);
  uint16_t Sign(const std::string& in, const std::string& out, const std::string& id);
  uint16_t Encrypt(const std::string& in, const std::string& out, const std::string& sender,
                   const std::vector<std::string>& receivers);
  uint16_t Decrypt(const std::string& in, const std::string& out, const std::string& receiver,
                   const std::string& sender);
  orlak_test::CheckResult Check(const std::string& file);
  // The incoming chain on a copy: decrypt, check, delete all signatures.
  std::string Incoming(const std::string& file, const std::string& receiver,
                       const std::string& sender, orlak_test::CheckResult& check);
  // A file of random content in the working folder.
  std::string Content(const std::string& name, size_t size = 4096);
  // gpg signs input into output as signer (a fingerprint, key ID or address),
  // with options before the command; gpg's exit status.
  int GpgSign(const std::string& signer, const std::string& input, const std::string& output,
              const std::string& options = "");

  Keys& keys_ = Keys::Get();
  testing_support::TempDir dir_;
};

}  // namespace pgp_test
