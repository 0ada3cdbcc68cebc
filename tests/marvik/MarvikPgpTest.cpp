// marvik's OpenPGP commands as an operator runs them beside gpg: the keys it
// writes are gpg's to read, the keys gpg exports are its to import.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "tests/support/TestSupport.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;

class MarvikPgp : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = dir_.Sub("gnupg/");
    ASSERT_EQ(::chmod(home_.c_str(), 0700), 0);
  }
  void TearDown() override { Run("gpgconf --kill all"); }  // no agent left running
  // A shell line with GNUPGHOME set; standard output in out_.
  int Run(const std::string& line, const std::string& input = "") {
    const std::string command = "cd " + dir_.Path() + " && export GNUPGHOME=" + home_ + " && " +
                                (input.empty() ? "" : "printf '%s\\n' '" + input + "' | ") + "( " +
                                line + " ) > out 2> err";
    const int status = std::system(command.c_str());
    out_ = ReadFile(dir_.Path() + "out");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Gpg(const std::string& arguments) {
    return "gpg --batch --yes --pinentry-mode loopback --trust-model always " + arguments;
  }
  std::string Marvik(const std::string& arguments) {
    return std::string(MARVIK_PATH) + " " + arguments;
  }
  // The field after the fingerprint label of marvik's output.
  std::string Fingerprint() {
    const size_t at = out_.find("fingerprint: ");
    return at == std::string::npos ? "" : out_.substr(at + 13, 40);
  }

  testing_support::TempDir dir_;
  std::string home_, out_;
};

TEST_F(MarvikPgp, KeysCreatedExportedAndImportedAgreeWithGpg) {
  ASSERT_EQ(Run(Marvik("create-pgp bank sec pub 'Bank <pay@bank.example>' --expires 2031-06-30")),
            0);
  const std::string ours = Fingerprint();
  ASSERT_EQ(ours.size(), 40u);
  struct stat st;
  ASSERT_EQ(::stat((dir_.Path() + "sec/bank.asc").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Never replaced.
  EXPECT_EQ(Run(Marvik("create-pgp bank sec pub 'Other <o@bank.example>'")), 1);

  ASSERT_EQ(Run(Marvik("export bank pub") + " > bank.asc && " + Gpg("--import bank.asc") + " && " +
                Gpg("--with-colons --list-keys pay@bank.example")),
            0);
  EXPECT_NE(out_.find("fpr:::::::::" + ours + ":"), std::string::npos) << out_;
  // gpg sees the expiry marvik set: 2031-06-30 end of day, UTC.
  EXPECT_NE(out_.find(":1940630399:"), std::string::npos) << out_;

  // A partner's public key and one of our own secret keys, passphrase-protected.
  ASSERT_EQ(
      Run(Gpg("--passphrase pw --quick-gen-key 'Own <own@corp.example>' ed25519 default never") +
          " && " +
          Gpg("--passphrase pw --quick-gen-key 'Partner <p@partner.example>' rsa3072 default "
              "never") +
          " && " + Gpg("--export p@partner.example > partner.gpg") + " && " +
          Gpg("--passphrase pw --export-secret-keys own@corp.example > own.sec") + " && " +
          Gpg("--with-colons --list-keys")),
      0);
  const std::string listing = out_;
  ASSERT_EQ(Run(Marvik("import-public partner pub partner.gpg")), 0);
  EXPECT_NE(listing.find("fpr:::::::::" + Fingerprint() + ":"), std::string::npos);
  EXPECT_EQ(Run(Marvik("import-secret own sec pub own.sec"), "wrong"), 1);
  EXPECT_FALSE(FileExists(dir_.Path() + "sec/own.asc"));
  ASSERT_EQ(Run(Marvik("import-secret own sec pub own.sec"), "pw"), 0);
  EXPECT_NE(listing.find("fpr:::::::::" + Fingerprint() + ":"), std::string::npos);

  ASSERT_EQ(Run(Marvik("list sec")), 0);
  EXPECT_NE(out_.find("secret\tbank\topenpgp\t" + ours + "\tEDDSA/255+ECDH/255\t"),
            std::string::npos)
      << out_;
  EXPECT_NE(out_.find("\t2031-06-30\tsign,encrypt\tok\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("secret\town\topenpgp\t"), std::string::npos) << out_;
  ASSERT_EQ(Run(Marvik("list pub")), 0);
  EXPECT_NE(out_.find("public\tpartner\topenpgp\t"), std::string::npos) << out_;
  EXPECT_NE(out_.find("RSA/3072\t"), std::string::npos) << out_;
  // gpg's "default" Ed25519 key has no encryption subkey: no receiver.
  EXPECT_NE(out_.find("public\town\t"), std::string::npos);
  EXPECT_NE(out_.find("\tsign\trefused: the OpenPGP key cannot do this"), std::string::npos)
      << out_;

  // A secret key others may read is named as such, and refused as ssh would.
  ASSERT_EQ(::chmod((dir_.Path() + "sec/own.asc").c_str(), 0644), 0);
  ASSERT_EQ(Run(Marvik("list sec")), 0);
  EXPECT_NE(out_.find("secret\town\trefused: mode 0644 lets group or others access it; "
                      "not used until chmod 600\n"),
            std::string::npos)
      << out_;
}

// Our own key renewed: the successor beside it, its export carrying the
// current key's certification as gpg checks it, each key of a gpg export on
// a line of its own, and the old key retired after the overlap, not before.
TEST_F(MarvikPgp, ASuccessorCertifiedByTheKeyItReplacesThenTheOldKeyRetired) {
  ASSERT_EQ(Run(Marvik("create-pgp CLIENT sec pub 'Client <c@corp.example>'")), 0);
  const std::string old = Fingerprint();
  // Never before there is a successor.
  EXPECT_EQ(Run(Marvik("retire CLIENT sec pub")), 1);
  EXPECT_TRUE(FileExists(dir_.Path() + "sec/CLIENT.asc"));

  ASSERT_EQ(Run(Marvik("successor CLIENT sec pub --export for-bank.asc")), 0);
  const std::string year = std::to_string(1900 + [] {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    return tm.tm_year;
  }());
  const std::string fresh = Fingerprint();
  ASSERT_EQ(fresh.size(), 40u);
  EXPECT_TRUE(FileExists(dir_.Path() + "sec/CLIENT." + year + ".asc"));
  EXPECT_TRUE(FileExists(dir_.Path() + "pub/CLIENT." + year + ".asc"));
  // The partner imports the old key first (as it has it), then the export.
  ASSERT_EQ(Run(Gpg("--import pub/CLIENT.asc") + " && " + Gpg("--import for-bank.asc") + " && " +
                Gpg("--with-colons --check-sigs " + fresh)),
            0);
  // "sig:!:" a good certification, by the old key's ID, of the user ID.
  const std::string byOld = "sig:!::22:" + old.substr(24) + ":";
  EXPECT_NE(out_.find(byOld), std::string::npos) << out_;
  EXPECT_NE(out_.find("uid:"), std::string::npos);
  // A second run this year would replace nothing.
  EXPECT_EQ(Run(Marvik("successor CLIENT sec pub --export again.asc")), 1);

  // Both keys of one file (as gpg exports them), each on its own line.
  ASSERT_EQ(Run(Gpg("--export " + old + " " + fresh + " > pub/BOTH.gpg") + " && " +
                Marvik("list pub")),
            0);
  EXPECT_NE(out_.find("public\tBOTH\topenpgp\t" + old + "\t"), std::string::npos) << out_;
  EXPECT_NE(out_.find("public\tBOTH\topenpgp\t" + fresh + "\t"), std::string::npos) << out_;

  // After the overlap: moved aside in both folders, never deleted.
  ASSERT_EQ(Run(Marvik("retire CLIENT sec pub")), 0) << out_;
  EXPECT_FALSE(FileExists(dir_.Path() + "sec/CLIENT.asc"));
  EXPECT_TRUE(FileExists(dir_.Path() + "sec/retired/CLIENT.asc"));
  EXPECT_TRUE(FileExists(dir_.Path() + "pub/retired/CLIENT.asc"));
  struct stat st;
  ASSERT_EQ(::stat((dir_.Path() + "sec/retired").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // The successor serves the identifier now, and is its only key.
  ASSERT_EQ(Run(Marvik("export CLIENT pub") + " | " + Gpg("--with-colons --show-keys")), 0);
  EXPECT_NE(out_.find(fresh), std::string::npos);
  EXPECT_EQ(Run(Marvik("retire sec/CLIENT." + year + ".asc")), 1);
}

// An RSA current key certifies too, its signature made outside RNP.
TEST_F(MarvikPgp, AnRsaKeyCertifiesItsSuccessor) {
  ASSERT_EQ(Run(Marvik("create-pgp BANK sec pub 'Bank <b@bank.example>' --rsa3072")), 0);
  const std::string old = Fingerprint();
  ASSERT_EQ(Run(Marvik("successor BANK sec pub --export renewal.asc")), 0) << out_;
  const std::string fresh = Fingerprint();
  ASSERT_EQ(fresh.size(), 40u);
  ASSERT_EQ(Run(Gpg("--import pub/BANK.asc") + " && " + Gpg("--import renewal.asc") + " && " +
                Gpg("--with-colons --check-sigs " + fresh)),
            0);
  // Algorithm 1 (RSA), the old key's ID, a generic certification gpg found good.
  const size_t at = out_.find("sig:!::1:" + old.substr(24) + ":");
  ASSERT_NE(at, std::string::npos) << out_;
  EXPECT_NE(out_.substr(at, out_.find('\n', at) - at).find(":10x:"), std::string::npos) << out_;
}

}  // namespace
