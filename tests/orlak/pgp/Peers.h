// The independent OpenPGP implementations the library exchanges files with:
// gpg in a GNUPGHOME of its own (no agent left running afterwards) and sq,
// and the keys every side made once per test program. Paths are ASCII
// temporary names, so Windows-1251 and UTF-8 forms are the same.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pgp_test {

struct Outcome {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error (gpg's status lines are here)
};

// Runs a shell command line, standard input from nothing.
Outcome Shell(const std::string& command);
std::string Quote(const std::string& s);
// Field index of the first record of a kind ("pub", "fpr") in gpg's colon
// listing.
std::string ColonField(const std::string& listing, const std::string& record, int index);
// The fingerprint a key block of ExtractKey names (bytes 24.., length at 23), as hex.
std::string BlockFingerprint(const std::vector<unsigned char>& block);
// Equal bytes, told by size and first difference rather than by dumping them.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

// One key as the tests know it.
struct PeerKey {
  std::string id;           // its file name in our key folders
  std::string fingerprint;  // of the primary key, upper-case hex
  std::string keyId;        // of the signing key, upper-case hex (gpg's GOODSIG names it)
  std::string uid;
};

// The keys, made once: ours by the library (Ed25519 and RSA 3072), gpg's and
// sq's by them, plus keys the library must refuse. Our folders hold every
// public key; gpg holds our public keys and its own secret keys.
class Keys {
 public:
  static Keys& Get();     // made on first use
  static void Release();  // stops gpg's agent and removes the folders

  std::string root;     // ends in "/"
  std::string secret;   // our secret-keys folder, ends in "/"
  std::string publics;  // our public-keys folder, ends in "/"
  std::string gnupg;    // GNUPGHOME
  PeerKey ours, oursRsa, gpgEd, gpgRsa, sqEd, sqRsa;
  PeerKey expired, revoked, weak;  // in our public folder; gpg holds their secrets
  std::string sqEdKey, sqRsaKey;   // sq's secret key files

  // gpg with the options every call needs.
  std::string Gpg(const std::string& arguments) const;

 private:
  Keys() = default;
};

}  // namespace pgp_test
