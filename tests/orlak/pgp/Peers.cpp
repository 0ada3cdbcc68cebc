#include "Peers.h"

#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "PgpKeyFiles.h"
#include "tests/support/TestSupport.h"

namespace pgp_test {
namespace {

std::string Slurp(const std::string& path) {
  return testing_support::FileExists(path) ? testing_support::ReadFile(path) : std::string();
}

Keys* instance = nullptr;

void Need(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("key setup failed: " + what);
}

std::string FirstField(const std::string& colons, const std::string& record, int index) {
  // The first record line of a kind, in gpg's colon listing.
  size_t at = 0;
  while ((at = colons.find(record + ":", at)) != std::string::npos) {
    if (at == 0 || colons[at - 1] == '\n') break;
    ++at;
  }
  if (at == std::string::npos) return {};
  std::string line = colons.substr(at, colons.find('\n', at) - at);
  int field = 0;
  size_t start = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == ':') {
      if (field == index) return line.substr(start, i - start);
      ++field;
      start = i + 1;
    }
  }
  return {};
}

}  // namespace

std::string BlockFingerprint(const std::vector<unsigned char>& block) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (size_t i = 0; i < block[23]; ++i) {
    hex += kHex[block[24 + i] >> 4];
    hex += kHex[block[24 + i] & 15];
  }
  return hex;
}

std::string ColonField(const std::string& listing, const std::string& record, int index) {
  return FirstField(listing, record, index);
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected, first difference at " << at;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Outcome Shell(const std::string& command) {
  Outcome run;
  testing_support::TempDir dir;
  const std::string out = dir.Sub("out"), err = dir.Sub("err");
  const std::string line = "( " + command + " ) </dev/null >" + out + " 2>" + err;
  const int status = std::system(line.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = Slurp(out);
  run.err = Slurp(err);
  return run;
}

std::string Keys::Gpg(const std::string& arguments) const {
  return "GNUPGHOME=" + gnupg +
         " gpg --batch --yes --no-tty --pinentry-mode loopback --passphrase '' "
         "--trust-model always --status-fd 2 " +
         arguments;
}

Keys& Keys::Get() {
  if (instance) return *instance;
  auto keys = std::unique_ptr<Keys>(new Keys);
  Need(sodium_init() >= 0, "libsodium");
  const char* base = std::getenv("TESSEL_TEST_TMP");
  std::string root = (base ? std::string(base) : std::string("/tmp")) + "/tessel-pgp-XXXXXX";
  Need(::mkdtemp(root.data()) != nullptr, "temp folder");
  keys->root = root + "/";
  keys->secret = keys->root + "secret/";
  keys->publics = keys->root + "public/";
  keys->gnupg = keys->root + "gnupg";
  for (const std::string& folder : {keys->secret, keys->publics, keys->gnupg})
    Need(::mkdir(folder.c_str(), 0700) == 0, folder);
  Keys& k = *keys;

  auto ours = [&](PeerKey& key, const char* id, const char* algorithm) {
    orlak::pgp::NewKey request;
    request.id = id;
    request.userId = std::string(id) + " <" + id + "@tessel.example>";
    request.algorithm = algorithm;
    const auto made = orlak::pgp::CreateKeyFiles(k.secret, k.publics, request);
    Need(made.code == 0 && made.error == 0, id);
    key = {id, made.fingerprint, "", request.userId};
    Need(Shell(k.Gpg("--import " + k.publics + id + ".asc")).status == 0, "gpg import ours");
    // gpg names the signing key: for our keys the primary key signs.
    key.keyId = key.fingerprint.substr(key.fingerprint.size() - 16);
  };
  ours(k.ours, "ours", "ed25519");
  ours(k.oursRsa, "oursrsa", "rsa3072");

  // gpg makes a key: primary signing key and an encryption subkey.
  auto gpgKey = [&](PeerKey& key, const char* id, const char* primary, const char* sub,
                    const char* expiry, const char* time, const char* suffix) {
    key.id = id;
    key.uid = std::string("Gpg ") + id + " <" + id + "@gpg.example>";
    // Frozen ("!"): a running faked clock starts again at each gpg call, and
    // a subkey made in a later call could predate its primary key.
    const std::string faked = time ? std::string("--faked-system-time ") + time + "! " : "";
    Need(Shell(
             k.Gpg(faked + "--quick-gen-key " + Quote(key.uid) + " " + primary + " sign " + expiry))
                 .status == 0,
         id);
    const std::string colons = Shell(k.Gpg("--with-colons --list-keys " + Quote(key.uid))).out;
    key.fingerprint = ColonField(colons, "fpr", 9);
    key.keyId = key.fingerprint.substr(key.fingerprint.size() - 16);
    Need(Shell(k.Gpg(faked + "--quick-add-key " + key.fingerprint + " " + sub + " encr " + expiry))
                 .status == 0,
         id);
    const bool armored = std::string(suffix) == ".asc";
    Need(Shell(k.Gpg(std::string(armored ? "--armor " : "") + "--export " + key.fingerprint +
                     " > " + k.publics + id + suffix))
                 .status == 0,
         id);
  };
  gpgKey(k.gpgEd, "gpged", "ed25519", "cv25519", "never", nullptr, ".asc");
  gpgKey(k.gpgRsa, "gpgrsa", "rsa3072", "rsa3072", "never", nullptr, ".pgp");
  gpgKey(k.expired, "expired", "ed25519", "cv25519", "1d", "20200101T000000", ".asc");
  gpgKey(k.weak, "weak", "rsa1024", "rsa1024", "never", nullptr, ".asc");
  gpgKey(k.revoked, "revoked", "ed25519", "cv25519", "never", nullptr, ".gpg");
  {
    // Revoked with the certificate gpg stored, then exported again.
    const std::string rev = k.gnupg + "/openpgp-revocs.d/" + k.revoked.fingerprint + ".rev";
    Need(Shell("sed 's/^:-----/-----/' " + rev + " > " + k.root + "rev.asc && " +
               k.Gpg("--import " + k.root + "rev.asc") + " && " +
               k.Gpg("--export " + k.revoked.fingerprint + " > " + k.publics + "revoked.gpg"))
                 .status == 0,
         "revocation");
  }

  auto sqKey = [&](PeerKey& key, std::string& secretFile, const char* id, const char* suite,
                   const char* suffix) {
    key.id = id;
    key.uid = std::string("<") + id + "@sq.example>";
    secretFile = k.root + id + ".key";
    Need(Shell("sq key generate --cipher-suite " + std::string(suite) + " --userid " +
               Quote(key.uid) + " --export " + secretFile + " && sq key extract-cert " +
               std::string(std::string(suffix) == ".asc" ? "" : "--binary ") + secretFile + " > " +
               k.publics + id + suffix)
                 .status == 0,
         id);
    const std::string colons =
        Shell(k.Gpg("--with-colons --show-keys " + k.publics + id + suffix)).out;
    key.fingerprint = ColonField(colons, "fpr", 9);
  };
  sqKey(k.sqEd, k.sqEdKey, "sqed", "cv25519", ".asc");
  sqKey(k.sqRsa, k.sqRsaKey, "sqrsa", "rsa3k", ".gpg");
  instance = keys.release();
  return *instance;
}

void Keys::Release() {
  if (!instance) return;
  Shell("GNUPGHOME=" + instance->gnupg + " gpgconf --kill all");
  std::error_code ec;
  std::filesystem::remove_all(instance->root, ec);
  delete instance;
  instance = nullptr;
}

namespace {
// Stops gpg's agent and removes the keys when the program ends.
class KeysEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { Keys::Release(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new KeysEnvironment);
}  // namespace

}  // namespace pgp_test
