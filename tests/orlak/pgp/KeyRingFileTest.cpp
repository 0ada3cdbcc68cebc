// Several keys in one key file, as "gpg --export OLD NEW" writes it: a
// partner rotating from an old key to a new one hands over one file with
// both, and files made for and by either key are in flight at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "KeyFacts.h"
#include "Peers.h"
#include "orlak.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr uint16_t kNotSigned = 30;  // the file holds no signature

using pgp_test::Quote;
using pgp_test::Shell;
using testing_support::ReadFile;
using testing_support::WriteFile;

class KeyRingFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::chmod(home_.c_str(), 0700), 0);
    ASSERT_EQ(SignInit(sec_.c_str(), pub_.c_str()), 0);
    ASSERT_EQ(CryptoInit(sec_.c_str(), pub_.c_str()), 0);
  }
  void TearDown() override {
    CryptoDone();
    SignDone();
    Shell("GNUPGHOME=" + home_ + " gpgconf --kill all");
  }
  std::string Gpg(const std::string& arguments) const {
    return "GNUPGHOME=" + home_ +
           " gpg --batch --yes --no-tty --pinentry-mode loopback --passphrase '' "
           "--trust-model always --status-fd 2 " +
           arguments;
  }
  // A gpg key (Ed25519 signing, Cv25519 encryption), made at the time given
  // (gpg's form, "" for now); its fingerprint. The faked clock is frozen: a
  // running one starts again at each gpg call, and the subkey made in the
  // second could predate the primary key made in the first.
  std::string GpgKey(const std::string& uid, const std::string& at, const std::string& expiry) {
    const std::string faked = at.empty() ? "" : "--faked-system-time " + at + "! ";
    const pgp_test::Outcome made =
        Shell(Gpg(faked + "--quick-gen-key " + Quote(uid) + " ed25519 sign " + expiry));
    const size_t at_ = made.err.find("KEY_CREATED P ");
    EXPECT_NE(at_, std::string::npos) << made.err;
    if (at_ == std::string::npos) return {};
    const std::string fpr = made.err.substr(at_ + 14, 40);
    const pgp_test::Outcome sub =
        Shell(Gpg(faked + "--quick-add-key " + fpr + " cv25519 encr " + expiry));
    EXPECT_EQ(sub.status, 0) << sub.err;
    return fpr;
  }
  // The fingerprint a key block names (bytes 24.. as hex, length at 23).
  std::string BlockOf(const std::string& id, std::vector<unsigned char>& block) {
    block.assign(ORLAK_KEY_BLOCK_SIZE, 0);
    EXPECT_EQ(ExtractKey(pub_.c_str(), id.c_str(), block.data()), 0) << id;
    return pgp_test::BlockFingerprint(block);
  }
  std::string Signers(const std::string& file) {
    uint8_t count = 0;
    OrlakSignRecord* records = nullptr;
    std::string signers;
    EXPECT_EQ(check_file_sign(file.c_str(), &count, &records), 0) << file;
    for (uint8_t i = 0; i < count; ++i)
      signers += std::string(reinterpret_cast<const char*>(records[i].Bytes),
                             strnlen(reinterpret_cast<const char*>(records[i].Bytes),
                                     ORLAK_SIGN_RECORD_KEYID_SIZE)) +
                 ":" + std::to_string(records[i].Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET]) + " ";
    if (records) FreeMemory(records);
    return signers;
  }
  // What GetKeysUsed tells of the last call.
  static std::string KeysUsed() {
    uint32_t needed = 0;
    GetKeysUsed(nullptr, 0, &needed);
    std::string text(needed, '\0');
    EXPECT_EQ(GetKeysUsed(text.data(), needed, &needed), 0);
    return text.substr(0, text.find('\0'));
  }
  std::vector<orlak::KeyFacts> FactsOf(const std::string& folder, bool secret,
                                       const std::string& id) {
    std::vector<orlak::KeyFacts> facts = orlak::FolderKeyFacts(folder, secret, std::time(nullptr));
    facts.erase(std::remove_if(facts.begin(), facts.end(),
                               [&](const orlak::KeyFacts& f) { return f.id != id; }),
                facts.end());
    return facts;
  }

  testing_support::TempDir dir_;
  std::string home_ = dir_.Sub("gnupg/"), sec_ = dir_.Sub("secret/"), pub_ = dir_.Sub("public/");
};

TEST_F(KeyRingFile, APartnerRotatingWithBothKeysInOneFileLosesNoFileInFlight) {
  // Both sides' keys by gpg; the old ones made a year before the new ones.
  const std::string bankOld = GpgKey("Bank <pay@bank.example>", "20250101T000000", "never");
  const std::string bankNew = GpgKey("Bank <pay@bank.example>", "", "never");
  const std::string ourOld = GpgKey("Client <c@corp.example>", "20250101T000000", "never");
  const std::string ourNew = GpgKey("Client <c@corp.example>", "", "never");
  ASSERT_FALSE(bankOld.empty() || bankNew.empty() || ourOld.empty() || ourNew.empty());
  // One file per identifier holding both keys: ours binary with the secrets,
  // the partner's armored.
  ASSERT_EQ(
      Shell(Gpg("--export-secret-keys " + ourOld + " " + ourNew + " > " + sec_ +
                "CLIENT.gpg && chmod 600 " + sec_ + "CLIENT.gpg && " + Gpg("--armor --export ") +
                bankOld + " " + bankNew + " > " + pub_ + "BANK.asc"))
          .status,
      0);

  // In flight from the partner: one file made with the old keys, one with the new.
  for (const auto& [name, by, to] :
       {std::tuple{"old", bankOld, ourOld}, {"new", bankNew, ourNew}}) {
    WriteFile(dir_.Path() + name, std::string("statement ") + name);
    ASSERT_EQ(Shell(Gpg("-u " + by + " -r " + to + " --sign --encrypt -o " + dir_.Path() + name +
                        ".gpg " + dir_.Path() + name))
                  .status,
              0);
  }
  std::vector<unsigned char> sender;
  EXPECT_EQ(BlockOf("BANK", sender), bankNew) << "the partner's newest key";
  for (const auto& [name, by, to] :
       {std::tuple{"old", bankOld, ourOld}, {"new", bankNew, ourNew}}) {
    const std::string in = dir_.Path() + name + ".gpg", out = dir_.Path() + name + ".signed";
    ASSERT_EQ(DeCryptFileEx(in.c_str(), out.c_str(), "CLIENT", sender.data()), 0) << name;
    EXPECT_EQ(KeysUsed(), "CLIENT\t" + to + "\t2\n") << "the key that opened it";
    EXPECT_EQ(Signers(out), "BANK:0 ") << name;
    EXPECT_EQ(KeysUsed(), "BANK\t" + by + "\t2\n") << "the key that made the signature";
    ASSERT_EQ(DelSign(out.c_str(), 255), 0);
    EXPECT_EQ(ReadFile(out), std::string("statement ") + name);
  }

  // Outgoing: signed with our newest key, encrypted to the partner's newest.
  WriteFile(dir_.Path() + "pay", "payment");
  const std::string pay = dir_.Path() + "pay", sig = pay + ".sig", enc = pay + ".enc";
  ASSERT_EQ(SignFile(pay.c_str(), sig.c_str(), "CLIENT"), 0);
  const void* blocks[] = {sender.data()};
  EXPECT_EQ(KeysUsed(), "CLIENT\t" + ourNew + "\t2\n");
  ASSERT_EQ(EnCryptFileEx(sig.c_str(), enc.c_str(), "CLIENT", blocks, 1, 0), 0);
  EXPECT_EQ(KeysUsed(), "CLIENT\t" + ourNew + "\t2\nBANK\t" + bankNew + "\t2\n");
  ASSERT_EQ(DelSign((dir_.Path() + "old.signed").c_str(), 255), kNotSigned);
  EXPECT_EQ(KeysUsed(), "") << "a call that uses no key forgets the last one's";
  const pgp_test::Outcome read = Shell(Gpg("--decrypt " + enc));
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out, "payment");
  EXPECT_NE(read.err.find("VALIDSIG "), std::string::npos);
  EXPECT_NE(read.err.find(" " + ourNew + "\n"), std::string::npos) << "signed by the new key";
  // Addressed to the new keys' encryption subkeys only (the partner's, and ours for the archive).
  const std::string packets = Shell(Gpg("--list-packets " + enc)).out;
  ASSERT_NE(packets.find("pubkey enc packet"), std::string::npos) << packets;
  const std::string subkeys = Shell(Gpg("--with-colons --list-keys " + bankOld + " " + ourOld)).out;
  for (size_t at = subkeys.find("\nsub:"); at != std::string::npos;
       at = subkeys.find("\nsub:", at + 1)) {
    const std::string keyId = pgp_test::ColonField(subkeys.substr(at + 1), "sub", 4);
    EXPECT_EQ(packets.find("keyid " + keyId), std::string::npos) << "old key " << keyId;
  }

  // Each key of a file is a key of its own in the inventory.
  const auto secret = FactsOf(sec_, true, "CLIENT");
  ASSERT_EQ(secret.size(), 2u);
  EXPECT_EQ(secret[0].fingerprint, ourOld);
  EXPECT_EQ(secret[1].fingerprint, ourNew);
  for (const auto& facts : secret) EXPECT_EQ(facts.condition, orlak::KeyCondition::kUsable);
  EXPECT_EQ(FactsOf(pub_, false, "BANK").size(), 2u);
}

// A newer key that is weak (RSA 1024) never signs: the older strong key of
// its file does, and a file with only the weak key signs nothing.
TEST_F(KeyRingFile, AWeakKeyNeverSignsNewFiles) {
  const std::string strong = GpgKey("Own <own@corp.example>", "20240101T000000", "never");
  const pgp_test::Outcome made =
      Shell(Gpg("--quick-gen-key 'Own <own@corp.example>' rsa1024 sign,encr never"));
  const size_t at = made.err.find("KEY_CREATED P ");
  ASSERT_NE(at, std::string::npos) << made.err;
  const std::string weak = made.err.substr(at + 14, 40);
  ASSERT_EQ(Shell(Gpg("--export-secret-keys " + strong + " " + weak + " > " + sec_ + "OWN.gpg && " +
                      Gpg("--export-secret-keys " + weak + " > " + sec_ + "WEAK.gpg") +
                      " && chmod 600 " + sec_ + "OWN.gpg " + sec_ + "WEAK.gpg"))
                .status,
            0);
  WriteFile(dir_.Path() + "doc", "document");
  const std::string doc = dir_.Path() + "doc", sig = doc + ".sig";
  ASSERT_EQ(SignFile(doc.c_str(), sig.c_str(), "OWN"), 0);
  EXPECT_EQ(KeysUsed(), "OWN\t" + strong + "\t2\n");
  EXPECT_EQ(SignFile(doc.c_str(), (doc + ".weak").c_str(), "WEAK"), 702);
  EXPECT_FALSE(testing_support::FileExists(doc + ".weak"));
  const auto facts = FactsOf(sec_, true, "OWN");
  ASSERT_EQ(facts.size(), 2u);
  EXPECT_EQ(facts[1].condition, orlak::KeyCondition::kWeak);
}

TEST_F(KeyRingFile, ANewerKeyThatExpiredIsPassedOverAndListedExpired) {
  const std::string valid = GpgKey("Proc <p@proc.example>", "20240101T000000", "never");
  const std::string expired = GpgKey("Proc <p@proc.example>", "20250101T000000", "1d");
  ASSERT_EQ(Shell(Gpg("--export " + valid + " " + expired + " > " + pub_ + "PROC.pgp")).status, 0);
  std::vector<unsigned char> block;
  EXPECT_EQ(BlockOf("PROC", block), valid);
  // By e-mail address the two keys of one identifier are no ambiguity.
  EXPECT_EQ(BlockOf("p@proc.example", block), valid);
  const auto facts = FactsOf(pub_, false, "PROC");
  ASSERT_EQ(facts.size(), 2u);
  EXPECT_EQ(facts[0].condition, orlak::KeyCondition::kUsable);
  EXPECT_EQ(facts[1].condition, orlak::KeyCondition::kExpired);
  OrlakKeyState state;
  ASSERT_EQ(GetKeyState(pub_.c_str(), "PROC", 0, &state), 0);
  EXPECT_EQ(state.Condition, static_cast<uint8_t>(orlak::KeyCondition::kUsable))
      << "the state of the key the steps use";
}

}  // namespace
