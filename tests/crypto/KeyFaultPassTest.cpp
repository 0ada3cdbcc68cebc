// Passes against liborlak where the script's keys, not the files, are at
// fault: a secret key file others may read, a receiver's key that is not
// there yet, a library that did not open. The files wait in their source
// folder, one line says what to mend, and the pass after the mend delivers.
#include <sys/stat.h>

#include <algorithm>

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "platform/Cp1251.h"
#include "tests/crypto/RealLibrary.h"

namespace {

namespace ts = testing_support;
using Lines = std::vector<std::string>;

class KeyFaultPass : public real_library::RealLibraryTest {
 protected:
  std::string sec = dir.Sub("sec/"), pub = dir.Sub("pub/");
  std::string in = dir.Sub("in/"), out = dir.Sub("out/"), bad = dir.Sub("bad/");
  TTesselActionList* group = nullptr;

  // The library opened on key folders of the test's own: A's secret key,
  // A's and B's public keys.
  void SetUp() override {
    RealLibraryTest::SetUp();
    const auto& shared = real_library::SharedKeys();
    ts::WriteFile(sec + "A.sec", ts::ReadFile(shared.secret + "A.sec"));
    ChangeMode(sec + "A.sec", 0600);
    for (const char* id : {"A", "B"})
      ts::WriteFile(pub + id + ".pub", ts::ReadFile(shared.pub + id + ".pub"));
    CryptoDone();
    SignDone();
    ASSERT_EQ(SignInit(sec.c_str(), pub.c_str()), 0);
    ASSERT_EQ(CryptoInit(sec.c_str(), pub.c_str()), 0);
    ScriptRegistry->SecKeysPath = sec;
    ScriptRegistry->PubKeysPath = pub;

    group = ScriptRegistry->AddGroup("Платежи");
    group->Enabled = true;
    group->SourceMask = in + "*.txt";
    group->DestFolder = out;
    group->BadFolder = bad;
    auto* sign = static_cast<TTesselAction_sign*>(group->CreateAction(kKindSign));
    sign->KeyId = "A";
    sign->Enabled = true;
    auto* encrypt = static_cast<TTesselAction_encrypt*>(group->CreateAction(kKindEncrypt));
    encrypt->SenderKey = "A";
    encrypt->ReceiverKeyList = "B";
    encrypt->Enabled = true;
  }
  static void ChangeMode(const std::string& path, unsigned mode) {
    ASSERT_EQ(::chmod(platform::Cp1251ToUtf8(path).c_str(), mode), 0);
  }
  bool Logged(const std::string& line) const {
    const Lines lines = log.Fields();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // One pass; the number of log lines it wrote.
  size_t Pass() {
    const size_t before = log.Fields().size();
    ScriptRegistry->RunAllGroups();
    return log.Fields().size() - before;
  }
};

TEST_F(KeyFaultPass, ALooseSecretKeyHoldsThePaymentsAndNamesTheFix) {
  ChangeMode(sec + "A.sec", 0644);
  ts::WriteFile(in + "pay1.txt", "1");
  ts::WriteFile(in + "pay2.txt", "2");
  EXPECT_GT(Pass(), 0u);
  EXPECT_TRUE(Logged("Файл секретного ключа доступен другим (права 0644)\t" + sec +
                     "A.sec\tисправьте: chmod 600 " + sec + "A.sec"));
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_EQ(ts::ListNames(in).size(), 2u);
  EXPECT_EQ(Pass(), 0u) << "no line while the fault lasts";

  ChangeMode(sec + "A.sec", 0600);
  Pass();
  EXPECT_EQ(ts::ListNames(out), (Lines{"pay1.txt", "pay2.txt"}));
  EXPECT_TRUE(ts::ListNames(in).empty());
  EXPECT_TRUE(Logged("Ошибка устранена\tФайл секретного ключа доступен другим (права 0644)\t" +
                     sec + "A.sec\t\"pay1.txt\"") ||
              Logged("Ошибка устранена\tФайл секретного ключа доступен другим (права 0644)\t" +
                     sec + "A.sec\t\"pay2.txt\""));
}

TEST_F(KeyFaultPass, AReceiverKeyAddedWhileRunningIsUsedByTheNextPass) {
  static_cast<TTesselAction_encrypt*>(group->GetAction(1))->ReceiverKeyList = "B;Late";
  ts::WriteFile(in + "pay.txt", "1");
  Pass();
  EXPECT_TRUE(Logged("Открытый ключ не найден\tLate\t" + pub +
                     "\tположите ключ в папку или исправьте идентификатор в шаге"));
  EXPECT_TRUE(Logged("Шифровать\t" + ResultMessage(117)));
  EXPECT_TRUE(ts::ListNames(bad).empty());

  ASSERT_TRUE(real_library::RunMarvik({"create", "Late", dir.Sub("late-sec/"), pub}));
  Pass();
  EXPECT_EQ(ts::ListNames(out), (Lines{"pay.txt"}));
}

TEST_F(KeyFaultPass, AMistypedKeyFolderIsNamed) {
  const std::string typo = dir.Path() + "sek/";
  ScriptRegistry->SecKeysPath = typo;
  CryptoDone();
  SignDone();
  EXPECT_NE(SignInit(typo.c_str(), pub.c_str()), 0);
  ts::WriteFile(in + "pay.txt", "1");
  Pass();
  EXPECT_TRUE(Logged("Папка секретных ключей не найдена\t" + dir.Path() +
                     "sek/\tпроверьте путь к папке секретных ключей"));
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_EQ(ts::ListNames(in), (Lines{"pay.txt"}));
  ASSERT_EQ(SignInit(sec.c_str(), pub.c_str()), 0);  // for the fixture to close
  ASSERT_EQ(CryptoInit(sec.c_str(), pub.c_str()), 0);
}

TEST_F(KeyFaultPass, WithoutTheLibraryGroupsWithKeysWaitAndTheOthersRun) {
  CryptoDone();
  SignDone();
  TTesselActionList* plain = ScriptRegistry->AddGroup("Без ключей");
  plain->Enabled = true;
  plain->SourceMask = in + "*.dat";
  plain->DestFolder = out;
  plain->BadFolder = bad;
  plain->CreateAction(kKindNone)->Enabled = true;
  ts::WriteFile(in + "pay.txt", "1");
  ts::WriteFile(in + "report.dat", "2");
  Pass();
  EXPECT_EQ(ts::ListNames(out), (Lines{"report.dat"}));
  EXPECT_EQ(ts::ListNames(in), (Lines{"pay.txt"}));
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_TRUE(
      Logged("Библиотека шифрования не открыта\tпроверьте папки ключей в сценарии и строки "
             "открытия библиотеки в журнале"));
  EXPECT_EQ(group->Run().LastPass.Held, 1);
  // The fixture closes the library again.
  ASSERT_EQ(SignInit(sec.c_str(), pub.c_str()), 0);
  ASSERT_EQ(CryptoInit(sec.c_str(), pub.c_str()), 0);
}

}  // namespace
