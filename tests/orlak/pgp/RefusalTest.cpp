// What the library refuses in OpenPGP input and keys: each refusal has its
// own code and leaves no output behind.
#include <sys/stat.h>

#include "PgpFixture.h"

namespace pgp_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

class Refusal : public PgpTest {
 protected:
  // The call's code, and that it left nothing in the working folder but
  // the files that were there.
  template <typename Call>
  uint16_t Refused(Call call) {
    const auto before = testing_support::ListNames(dir_.Path());
    const uint16_t code = call();
    EXPECT_EQ(testing_support::ListNames(dir_.Path()), before);
    return code;
  }
};

TEST_F(Refusal, AChangedByteFailsTheCheckOrTheDecryption) {
  const std::string input = Content("plain");
  ASSERT_EQ(Sign(input, Path("signed"), "ours"), 0);
  const std::string signedBytes = ReadFile(Path("signed"));
  // A content byte: the signature no longer holds.
  WriteFile(Path("signed"), orlak_test::Flipped(signedBytes, signedBytes.size() / 2));
  const auto check = Check(Path("signed"));
  EXPECT_EQ(check.code, 0);
  EXPECT_EQ(check.statuses, std::vector<int>{1});
  // Deleting signatures judges none: the changed content comes out.
  ASSERT_EQ(DelSign(Path("signed").c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
  EXPECT_EQ(ReadFile(Path("signed")).size(), ReadFile(input).size());
  EXPECT_NE(ReadFile(Path("signed")), ReadFile(input));

  ASSERT_EQ(Encrypt(input, Path("enc"), "ours", {"gpged"}), 0);
  const std::string encrypted = ReadFile(Path("enc"));
  for (size_t offset : {encrypted.size() / 2, encrypted.size() - 3}) {
    WriteFile(Path("enc"), orlak_test::Flipped(encrypted, offset));
    EXPECT_EQ(Refused([&] { return Decrypt(Path("enc"), Path("out"), "ours", "gpged"); }), 4)
        << offset;
  }
}

TEST_F(Refusal, ASignerNotInTheFolderIsNamedByItsKeyId) {
  // A key gpg makes now and never gives us.
  const std::string uid = "Stranger <stranger@gpg.example>";
  ASSERT_EQ(Shell(keys_.Gpg("--quick-gen-key '" + uid + "' ed25519 sign never")).status, 0);
  const std::string input = Content("plain");
  ASSERT_EQ(GpgSign("stranger@gpg.example", input, Path("signed")), 0);
  const std::string listing =
      Shell(keys_.Gpg("--with-colons --list-keys stranger@gpg.example")).out;
  const std::string keyId = ColonField(listing, "pub", 4);
  ASSERT_EQ(keyId.size(), 16u);
  const auto check = Check(Path("signed"));
  EXPECT_EQ(check.code, 0);
  EXPECT_EQ(check.ids, std::vector<std::string>{keyId.substr(3)});
  EXPECT_EQ(check.statuses, std::vector<int>{2});
}

TEST_F(Refusal, AMessageForSomeoneElseOrWithoutIntegrity) {
  const std::string input = Content("plain");
  ASSERT_EQ(Shell(keys_.Gpg("--recipient " + keys_.gpgEd.fingerprint + " --output " +
                            Path("other") + " --encrypt " + input))
                .status,
            0);
  EXPECT_EQ(Refused([&] { return Decrypt(Path("other"), Path("out"), "ours", "gpged"); }), 129);

  ASSERT_EQ(
      Shell(keys_.Gpg("--rfc2440 --cipher-algo AES256 --recipient " + keys_.oursRsa.fingerprint +
                      " --output " + Path("nomdc") + " --encrypt " + input))
          .status,
      0);
  EXPECT_EQ(Refused([&] { return Decrypt(Path("nomdc"), Path("out"), "oursrsa", "gpgrsa"); }), 703);
}

TEST_F(Refusal, ExpiredRevokedAndWeakReceivers) {
  const std::string input = Content("plain");
  EXPECT_EQ(Refused([&] {
              return Encrypt(input, Path("out"), "ours", {"gpged", "expired"});
            }),
            700);
  EXPECT_EQ(Refused([&] { return Encrypt(input, Path("out"), "ours", {"revoked"}); }), 700);
  EXPECT_EQ(Refused([&] { return Encrypt(input, Path("out"), "ours", {"weak"}); }), 702);
}

std::string RefusalReason() {
  uint32_t needed = 0;
  GetRefusalReason(nullptr, 0, &needed);
  std::string text(needed, '\0');
  EXPECT_EQ(GetRefusalReason(text.data(), needed, &needed), 0);
  return text.substr(0, text.find('\0'));
}

TEST_F(Refusal, WeakSignaturesFailTheCheck) {
  const std::string input = Content("plain");
  ASSERT_EQ(GpgSign(keys_.weak.fingerprint, input, Path("rsa1024")), 0);
  EXPECT_EQ(Check(Path("rsa1024")).code, 702);
  EXPECT_EQ(RefusalReason(), "weak\tkey\tRSA/1024") << "whose signature, and what is weak";
  ASSERT_EQ(GpgSign(keys_.gpgRsa.fingerprint, input, Path("sha1"), "--digest-algo SHA1 "), 0);
  EXPECT_EQ(Check(Path("sha1")).code, 702);
  EXPECT_EQ(RefusalReason(), "gpgrsa\thash\tSHA1");
  ASSERT_EQ(GpgSign(keys_.gpgRsa.fingerprint, input, Path("sha256")), 0);
  EXPECT_EQ(Check(Path("sha256")).code, 0);
  EXPECT_EQ(RefusalReason(), "") << "a later check forgets the refusal";
}

TEST_F(Refusal, FormatsAreNeverMixedInOneCall) {
  // A liborlak key pair beside the OpenPGP keys, in folders of this test.
  const std::string secret = Path("keys/secret/"), publics = Path("keys/public/");
  orlak_test::MakeKey(secret, publics, "own");
  ASSERT_EQ(std::system(("cp " + keys_.secret + "ours.asc " + secret + " && cp " + keys_.publics +
                         "gpged.asc " + publics)
                            .c_str()),
            0);
  ASSERT_EQ(CryptoInit(secret.c_str(), publics.c_str()), 0);
  const std::string input = Content("plain");
  const auto own = Block("own", &publics);
  const auto gpged = Block("gpged", &publics);
  const void* both[] = {own.data(), gpged.data()};
  const void* pgpOnly[] = {gpged.data()};
  const void* ownOnly[] = {own.data()};
  EXPECT_EQ(Refused([&] {
              return EnCryptFileEx(input.c_str(), Path("out").c_str(), "ours", both, 2, 0);
            }),
            705);
  EXPECT_EQ(Refused([&] {
              return EnCryptFileEx(input.c_str(), Path("out").c_str(), "own", pgpOnly, 1, 0);
            }),
            705);
  EXPECT_EQ(Refused([&] {
              return EnCryptFileEx(input.c_str(), Path("out").c_str(), "ours", ownOnly, 1, 0);
            }),
            705);
  ASSERT_EQ(EnCryptFileEx(input.c_str(), Path("pgp").c_str(), "ours", pgpOnly, 1, 0), 0);
  EXPECT_EQ(Refused([&] {
              return DeCryptFileEx(Path("pgp").c_str(), Path("out").c_str(), "ours", own.data());
            }),
            705);
  ASSERT_EQ(EnCryptFileEx(input.c_str(), Path("own").c_str(), "own", ownOnly, 1, 0), 0);
  EXPECT_EQ(Refused([&] {
              return DeCryptFileEx(Path("own").c_str(), Path("out").c_str(), "own", gpged.data());
            }),
            705);
}

TEST_F(Refusal, AProtectedSecretKeyAndAnAmbiguousIdentifier) {
  const std::string secret = Path("keys/secret/"), publics = Path("keys/public/");
  ASSERT_EQ(Shell("GNUPGHOME=" + keys_.gnupg +
                  " gpg --batch --pinentry-mode loopback --passphrase pw --quick-gen-key "
                  "'Locked <locked@gpg.example>' ed25519 sign never && GNUPGHOME=" +
                  keys_.gnupg +
                  " gpg --batch --pinentry-mode loopback --passphrase pw --armor "
                  "--export-secret-keys locked@gpg.example > " +
                  secret + "locked.asc")
                .status,
            0);
  ASSERT_EQ(::chmod((secret + "locked.asc").c_str(), 0600), 0);
  ASSERT_EQ(SignInit(secret.c_str(), publics.c_str()), 0);
  const std::string input = Content("plain");
  EXPECT_EQ(Refused([&] { return Sign(input, Path("out"), "locked"); }), 704);

  // Two files hold keys of one e-mail address.
  ASSERT_EQ(std::system(("cp " + keys_.publics + "gpged.asc " + publics + "a.asc && cp " +
                         keys_.publics + "gpged.asc " + publics + "b.asc")
                            .c_str()),
            0);
  std::vector<unsigned char> block(ORLAK_KEY_BLOCK_SIZE);
  EXPECT_EQ(ExtractKey(publics.c_str(), "gpged@gpg.example", block.data()), 706);
  EXPECT_EQ(ExtractKey(publics.c_str(), "a", block.data()), 0);
}

}  // namespace
}  // namespace pgp_test
