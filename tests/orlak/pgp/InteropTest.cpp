// Files exchanged with gpg and sq in both directions, each compared byte for
// byte and with the exact signer the other side or the library reports.
#include "PgpFixture.h"

namespace pgp_test {
namespace {

using testing_support::ReadFile;

std::vector<std::string> Ids(std::initializer_list<const char*> ids) {
  return {ids.begin(), ids.end()};
}

class Interop : public PgpTest {
 protected:
  // gpg decrypts or verifies the message: its output and status lines.
  Outcome GpgDecrypt(const std::string& message, const std::string& output) {
    return Shell(keys_.Gpg("--output " + output + " --decrypt " + message));
  }
  void ExpectGoodSignature(const Outcome& run, const PeerKey& signer) {
    EXPECT_NE(run.err.find("[GNUPG:] GOODSIG " + signer.keyId + " " + signer.uid),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("[GNUPG:] VALIDSIG "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" " + signer.fingerprint + "\n"), std::string::npos) << run.err;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(Interop, OurSignatureIsReadByGpgAndSq) {
  for (const PeerKey* key : {&keys_.ours, &keys_.oursRsa}) {
    SCOPED_TRACE(key->id);
    const std::string input = Content("plain");
    const std::string signedFile = Path(key->id + ".sig");
    ASSERT_EQ(Sign(input, signedFile, key->id), 0);

    const Outcome gpg = GpgDecrypt(signedFile, Path(key->id + ".by-gpg"));
    EXPECT_EQ(gpg.status, 0) << gpg.err;
    EXPECT_TRUE(SameBytes(ReadFile(Path(key->id + ".by-gpg")), ReadFile(input)));
    ExpectGoodSignature(gpg, *key);
    EXPECT_NE(gpg.err.find("[GNUPG:] VALIDSIG"), std::string::npos);
    // Version 4, EdDSA (22) or RSA (1), SHA-256 (8), binary document (00).
    EXPECT_NE(gpg.err.find(" 0 4 0 " + std::string(key == &keys_.ours ? "22" : "1") + " 8 00 "),
              std::string::npos)
        << gpg.err;

    const Outcome sq = Shell("sq verify --signer-cert " + keys_.publics + key->id +
                             ".asc --output " + Path(key->id + ".by-sq") + " " + signedFile);
    EXPECT_EQ(sq.status, 0) << sq.err;
    EXPECT_TRUE(SameBytes(ReadFile(Path(key->id + ".by-sq")), ReadFile(input)));

    const auto check = Check(signedFile);
    EXPECT_EQ(check.code, 0);
    EXPECT_EQ(check.ids, Ids({key->id.c_str()}));
    EXPECT_EQ(check.statuses, std::vector<int>{0});
  }
}

TEST_F(Interop, OurEncryptionToOneAndToThreeReceivers) {
  const std::string input = Content("plain", 10000);
  const std::string one = Path("one.pgp");
  ASSERT_EQ(Encrypt(input, one, "ours", {"gpged"}), 0);
  Outcome gpg = GpgDecrypt(one, Path("one.gpg-out"));
  EXPECT_EQ(gpg.status, 0) << gpg.err;
  EXPECT_TRUE(SameBytes(ReadFile(Path("one.gpg-out")), ReadFile(input)));
  // AES-256 (9) with integrity protection, to the receiver and our own key.
  EXPECT_NE(gpg.err.find("[GNUPG:] DECRYPTION_INFO 2 9"), std::string::npos) << gpg.err;
  EXPECT_EQ(Count(gpg.err, "[GNUPG:] ENC_TO "), 2);
  // The archive copy opens for the sender.
  ASSERT_EQ(Decrypt(one, Path("one.ours"), "ours", "gpged"), 0);
  EXPECT_TRUE(SameBytes(ReadFile(Path("one.ours")), ReadFile(input)));

  const std::string three = Path("three.pgp");
  ASSERT_EQ(Encrypt(input, three, "oursrsa", {"gpged", "gpgrsa", "sqrsa"}), 0);
  gpg = GpgDecrypt(three, Path("three.gpg-out"));
  EXPECT_EQ(gpg.status, 0) << gpg.err;
  EXPECT_TRUE(SameBytes(ReadFile(Path("three.gpg-out")), ReadFile(input)));
  EXPECT_EQ(Count(gpg.err, "[GNUPG:] ENC_TO "), 4);
  const Outcome sq = Shell("sq decrypt --recipient-key " + keys_.sqRsaKey + " --output " +
                           Path("three.sq-out") + " " + three);
  EXPECT_EQ(sq.status, 0) << sq.err;
  EXPECT_TRUE(SameBytes(ReadFile(Path("three.sq-out")), ReadFile(input)));
}

TEST_F(Interop, OurSignThenEncryptIsOneSignedEncryptedMessage) {
  const std::string input = Content("plain");
  ASSERT_EQ(Sign(input, Path("signed"), "ours"), 0);
  ASSERT_EQ(Encrypt(Path("signed"), Path("sent"), "ours", {"gpgrsa", "sqed"}), 0);

  const Outcome gpg = GpgDecrypt(Path("sent"), Path("by-gpg"));
  EXPECT_EQ(gpg.status, 0) << gpg.err;
  EXPECT_TRUE(
      SameBytes(ReadFile(Path("by-gpg")), ReadFile(input)));  // not the signed message again
  ExpectGoodSignature(gpg, keys_.ours);

  const Outcome sq =
      Shell("sq decrypt --recipient-key " + keys_.sqEdKey + " --signer-cert " + keys_.publics +
            "ours.asc --output " + Path("by-sq") + " " + Path("sent"));
  EXPECT_EQ(sq.status, 0) << sq.err;
  EXPECT_TRUE(SameBytes(ReadFile(Path("by-sq")), ReadFile(input)));
}

TEST_F(Interop, GpgSignedFilesAreCheckedAndLoseTheirSignatures) {
  const std::string input = Content("plain");
  // Compressed, armored, uncompressed (cut out without RNP) and read from a
  // pipe (literal data in partial lengths).
  struct SignedForm {
    const PeerKey* signer;
    const char* options;
    const char* from;
  } cases[] = {{&keys_.gpgEd, "", ""},
               {&keys_.gpgRsa, "--armor ", ""},
               {&keys_.gpgEd, "--compress-algo none ", ""},
               {&keys_.gpgRsa, "--compress-algo none ", " < "}};
  for (const SignedForm& c : cases) {
    SCOPED_TRACE(c.signer->id + c.options + c.from);
    const std::string signedFile = Path(c.signer->id + ".gpg");
    ASSERT_EQ(GpgSign(c.signer->fingerprint, c.from + input, signedFile, c.options), 0);
    const auto check = Check(signedFile);
    EXPECT_EQ(check.code, 0);
    EXPECT_EQ(check.ids, Ids({c.signer->id.c_str()}));
    EXPECT_EQ(check.statuses, std::vector<int>{0});
    ASSERT_EQ(DelSign(signedFile.c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
    EXPECT_TRUE(SameBytes(ReadFile(signedFile), ReadFile(input)));
  }
  // A detached signature beside the file.
  ASSERT_EQ(Shell(keys_.Gpg("--local-user " + keys_.gpgEd.fingerprint + " --output " +
                            Path("plain.sig") + " --detach-sign " + input))
                .status,
            0);
  uint8_t count = 0;
  OrlakSignRecord* records = nullptr;
  EXPECT_EQ(CheckFileSeparate(input.c_str(), &count, &records, Path("plain.sig").c_str()), 0);
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(records[0].Bytes), "gpged");
  EXPECT_EQ(records[0].Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET], 0);
  EXPECT_EQ(FreeMemory(records), 0);
}

TEST_F(Interop, GpgEncryptedFilesGoThroughTheIncomingChain) {
  const std::string input = Content("plain", 70000);
  // Encrypted only: decrypted to the bytes, nothing to check.
  ASSERT_EQ(Shell(keys_.Gpg("--recipient " + keys_.ours.fingerprint + " --output " +
                            Path("enc.gpg") + " --encrypt " + input))
                .status,
            0);
  ASSERT_EQ(Decrypt(Path("enc.gpg"), Path("enc.out"), "ours", "gpged"), 0);
  EXPECT_TRUE(SameBytes(ReadFile(Path("enc.out")), ReadFile(input)));
  EXPECT_EQ(Check(Path("enc.out")).code, 30);

  struct Case {
    const PeerKey* signer;
    const PeerKey* receiver;
    const char* options;
  } cases[] = {{&keys_.gpgEd, &keys_.ours, ""}, {&keys_.gpgRsa, &keys_.oursRsa, "--armor "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.signer->id + c.options);
    const std::string message = Path(c.signer->id + ".msg");
    ASSERT_EQ(Shell(keys_.Gpg(std::string(c.options) + "--local-user " + c.signer->fingerprint +
                              " --recipient " + c.receiver->fingerprint + " --output " + message +
                              " --sign --encrypt " + input))
                  .status,
              0);
    // Decrypted, the message is still signed by the partner: gpg says so.
    // The library says nothing on the standard error about the signer it meets.
    testing::internal::CaptureStderr();
    const uint16_t decrypted = Decrypt(message, message + ".signed", c.receiver->id, c.signer->id);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(decrypted, 0);
    ExpectGoodSignature(GpgDecrypt(message + ".signed", message + ".verified"), *c.signer);
    EXPECT_TRUE(SameBytes(ReadFile(message + ".verified"), ReadFile(input)));

    orlak_test::CheckResult check;
    EXPECT_TRUE(SameBytes(Incoming(message, c.receiver->id, c.signer->id, check), ReadFile(input)));
    EXPECT_EQ(check.code, 0);
    EXPECT_EQ(check.ids, Ids({c.signer->id.c_str()}));
    EXPECT_EQ(check.statuses, std::vector<int>{0});
  }
}

TEST_F(Interop, SqFilesGoThroughTheIncomingChain) {
  const std::string input = Content("plain");
  ASSERT_EQ(Shell("sq sign --signer-key " + keys_.sqEdKey + " --output " + Path("signed.asc") +
                  " " + input)
                .status,
            0);
  auto check = Check(Path("signed.asc"));
  EXPECT_EQ(check.code, 0);
  EXPECT_EQ(check.ids, Ids({"sqed"}));
  EXPECT_EQ(check.statuses, std::vector<int>{0});
  ASSERT_EQ(DelSign(Path("signed.asc").c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
  EXPECT_TRUE(SameBytes(ReadFile(Path("signed.asc")), ReadFile(input)));

  ASSERT_EQ(Shell("sq encrypt --recipient-cert " + keys_.publics + "oursrsa.asc --signer-key " +
                  keys_.sqRsaKey + " --output " + Path("sent.asc") + " " + input)
                .status,
            0);
  EXPECT_TRUE(SameBytes(Incoming(Path("sent.asc"), "oursrsa", "sqrsa", check), ReadFile(input)));
  EXPECT_EQ(check.ids, Ids({"sqrsa"}));
  EXPECT_EQ(check.statuses, std::vector<int>{0});
}

TEST_F(Interop, KeysAreFoundByFingerprintKeyIdAndEmail) {
  const auto byName = Block("gpged");
  EXPECT_EQ(Block(keys_.gpgEd.fingerprint), byName);
  EXPECT_EQ(Block(keys_.gpgEd.keyId), byName);
  EXPECT_EQ(Block("gpged@gpg.example"), byName);
  // The secret key by its e-mail address signs as the key file's name.
  const std::string input = Content("plain");
  ASSERT_EQ(Sign(input, Path("signed"), "ours@tessel.example"), 0);
  EXPECT_EQ(Check(Path("signed")).ids, Ids({"ours"}));
}

}  // namespace
}  // namespace pgp_test
