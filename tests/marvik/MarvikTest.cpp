// The key utility as operators and the application run it: a separate
// process, its exit status, its output and the key files it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Codes.h"
#include "KeyStore.h"
#include "Keys.h"
#include "platform/Cp1251.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace {

using platform::Cp1251ToUtf8;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

struct Outcome {
  int status = -1;
  std::string out, err;
};

class MarvikTest : public ::testing::Test {
 protected:
  // Runs marvik with UTF-8 arguments, as a terminal hands them over.
  Outcome Marvik(const std::vector<std::string>& args) { return Spawn(MARVIK_PATH, args); }
  // argv as given: the program's name first, then the arguments.
  Outcome Spawn(const char* name, const std::vector<std::string>& args) {
    const std::string outPath = Cp1251ToUtf8(dir_.Path() + "stdout");
    const std::string errPath = Cp1251ToUtf8(dir_.Path() + "stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv{const_cast<char*>(name)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    Outcome run;
    int error = posix_spawn(&pid, MARVIK_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0);
    int status = 0;
    if (error == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
      run.status = WEXITSTATUS(status);
    run.out = ReadFile(dir_.Path() + "stdout");
    run.err = ReadFile(dir_.Path() + "stderr");
    return run;
  }
  // Folders as UTF-8 command-line text; file checks use the Windows-1251 form.
  std::string Arg(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

  TempDir dir_;
};

TEST_F(MarvikTest, HelpAndWrongUsage) {
  Outcome help = Marvik({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: marvik"), std::string::npos);
  EXPECT_EQ(Marvik({"-h"}).out, help.out);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"create", "only-id"}, {"list"}, {"u", "extra"}}) {
    Outcome run = Marvik(args);
    EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(run.err.find("Usage: marvik"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(MarvikTest, SelfTestAnswersU) {
  Outcome run = Marvik({"u"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("self-test passed"), std::string::npos);
  EXPECT_EQ(run.err, "");
  // Started with "u" as its entire command line.
  Outcome bare = Spawn("u", {});
  EXPECT_EQ(bare.status, 0);
  EXPECT_EQ(bare.out, run.out);
}

TEST_F(MarvikTest, CreateWritesAKeyPairTheLibraryReads) {
  // Folders two levels deep that do not exist yet: both levels are made.
  const std::string secret = dir_.Path() + "keys/new secret", pub = dir_.Path() + "keys/new public";
  const std::string id = "Бухгалтерия";  // Windows-1251 here, UTF-8 on the command line
  Outcome run = Marvik({"create", Arg(id), Arg(secret), Arg(pub)});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("fingerprint"), std::string::npos);

  struct stat st;
  ASSERT_EQ(::stat(Arg(secret).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(Arg(secret + "/" + id + ".sec").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  orlak::SecretKey key;
  orlak::PublicKey publicKey;
  ASSERT_EQ(orlak::LoadSecretKey(Arg(secret), id, key), orlak::kOk);
  ASSERT_EQ(orlak::LoadPublicKey(Arg(pub), id, publicKey), orlak::kOk);
  EXPECT_EQ(orlak::Fingerprint(key.pub), orlak::Fingerprint(publicKey));
  EXPECT_NE(run.out.find(orlak::Fingerprint(publicKey)), std::string::npos);
}

TEST_F(MarvikTest, CreateNeverReplacesAKey) {
  const std::string secret = dir_.Sub("s/"), pub = dir_.Sub("p/");
  ASSERT_EQ(Marvik({"create", "ops", Arg(secret), Arg(pub)}).status, 0);
  const std::string before = ReadFile(secret + "ops.sec");
  Outcome again = Marvik({"create", "ops", Arg(secret), Arg(pub)});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("exists"), std::string::npos);
  EXPECT_EQ(ReadFile(secret + "ops.sec"), before);
  // With only the public file in the way, no lone secret file is left either.
  const std::string otherSecret = dir_.Sub("s2/");
  EXPECT_EQ(Marvik({"create", "ops", Arg(otherSecret), Arg(pub)}).status, 1);
  EXPECT_FALSE(FileExists(otherSecret + "ops.sec"));
}

TEST_F(MarvikTest, CreateRefusesBadIdentifiers) {
  const std::string secret = dir_.Sub("s/"), pub = dir_.Sub("p/");
  const std::string fourteen = Arg("ЧетырнадцатьБб");
  for (const std::string& id :
       {std::string("a/b"), std::string(""), std::string("x:y"), std::string("abcdefghijklmn"),
        fourteen, std::string("\xe2\x82\xac\xe2\x88\x9e")}) {  // "€∞": no ∞ in 1251
    Outcome run = Marvik({"create", id, Arg(secret), Arg(pub)});
    EXPECT_EQ(run.status, 2) << id;
    EXPECT_NE(run.err.find("invalid identifier"), std::string::npos) << id;
  }
  EXPECT_EQ(testing_support::ListNames(secret), std::vector<std::string>{});
  const std::string thirteen = Arg("Тринадцать123");
  EXPECT_EQ(Marvik({"create", thirteen, Arg(secret), Arg(pub)}).status, 0);
}

TEST_F(MarvikTest, ListShowsKeysWithFingerprintsAndDamage) {
  const std::string secret = dir_.Sub("s/"), pub = dir_.Sub("p/");
  ASSERT_EQ(Marvik({"create", "bank", Arg(secret), Arg(pub)}).status, 0);
  ASSERT_EQ(Marvik({"create", Arg("Клиент"), Arg(secret), Arg(pub)}).status, 0);
  WriteFile(pub + "readme.txt", "not a key");
  std::string broken = ReadFile(pub + "bank.pub");
  broken[30] ^= 1;
  WriteFile(pub + "broken.pub", broken);

  orlak::PublicKey bank;
  ASSERT_EQ(orlak::LoadPublicKey(Arg(pub), "bank", bank), orlak::kOk);
  Outcome run = Marvik({"list", Arg(pub)});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string fp = orlak::Fingerprint(bank);
  EXPECT_EQ(run.out.find("readme"), std::string::npos);
  EXPECT_NE(run.out.find("public\tbank\t" + fp + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("public\tbroken\tunusable"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("public\t" + Arg("Клиент") + "\t"), std::string::npos) << run.out;
  Outcome secrets = Marvik({"list", Arg(secret)});
  EXPECT_NE(secrets.out.find("secret\tbank\t" + fp + "\n"), std::string::npos) << secrets.out;

  // Names planted in a shared folder reach the terminal without control
  // characters: ESC and BEL (an OSC sequence), and a C1 control in its UTF-8
  // form (the byte 0x98 of a Windows-1251 name becomes U+0098 on the disk).
  WriteFile(pub + "t\x1b]0;x\x07.pub", "planted");
  WriteFile(pub +
                "u\x98"
                "31m.pub",
            "planted");
  Outcome planted = Marvik({"list", Arg(pub)});
  ASSERT_EQ(planted.status, 0) << planted.err;
  EXPECT_EQ(planted.out.find_first_of("\x1b\x07"), std::string::npos) << planted.out;
  EXPECT_EQ(planted.out.find("\xc2\x98"), std::string::npos) << planted.out;
  EXPECT_NE(planted.out.find("public\tt?]0;x?\t"), std::string::npos) << planted.out;
  EXPECT_NE(planted.out.find("public\tu?31m\t"), std::string::npos) << planted.out;
  EXPECT_NE(planted.out.find("public\t" + Arg("Клиент") + "\t"), std::string::npos);

  // A secret key file others may read is named as refused, as ssh does.
  ASSERT_EQ(::chmod(Arg(secret + "bank.sec").c_str(), 0644), 0);
  Outcome loose = Marvik({"list", Arg(secret)});
  ASSERT_EQ(loose.status, 0) << loose.err;
  EXPECT_NE(loose.out.find("secret\tbank\trefused: mode 0644 lets group or others access it; "
                           "not used until chmod 600\n"),
            std::string::npos)
      << loose.out;
  EXPECT_EQ(loose.out.find(fp), std::string::npos) << loose.out;

  Outcome missing = Marvik({"list", Arg(dir_.Path() + "nowhere")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot read folder"), std::string::npos);
}

}  // namespace
