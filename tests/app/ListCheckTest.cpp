// The two commands that only look: list shows what the masks take now and
// changes nothing; check finds each kind of problem a script can have on
// this machine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "crypto/CryptoActions.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "runtime/Check.h"
#include "tests/app/TesselProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel_test;
using testing_support::FileExists;
using testing_support::ListNames;
using testing_support::WriteFile;

// Every entry under a folder with its modification time and size; the
// programs' own output files (under output/) aside.
std::vector<std::string> Snapshot(const std::string& folder) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(platform::Cp1251ToUtf8(folder))) {
    if (entry.path().string().find("/output") != std::string::npos) continue;
    struct stat st {};
    ::lstat(entry.path().c_str(), &st);
    entries.push_back(entry.path().string() + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                      std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_size));
  }
  // The folders themselves too.
  struct stat st {};
  ::lstat(platform::Cp1251ToUtf8(folder).c_str(), &st);
  entries.push_back(std::to_string(st.st_mtim.tv_nsec));
  std::sort(entries.begin(), entries.end());
  return entries;
}

TEST(List, ShowsTakenAndExcludedNamesAndTheStepsAndChangesNothing) {
  TExchange ex;
  ex.WriteScript([&] {
    ex.AddBankGroup();
    ScriptRegistry->GetGroup(0)->SourceMask = ex.outbox + "*.txt|черновик*";
    ex.AddClientGroup("Выключенная");
    ScriptRegistry->GetGroup(1)->Enabled = false;
  });
  for (const char* name : {"a.txt", "б.txt", "черновик.txt", "c.dat"})
    WriteFile(ex.outbox + name, "x");
  fs::create_directory(platform::Cp1251ToUtf8(ex.outbox + "папка.txt"));
  const std::vector<std::string> before = Snapshot(ex.dir.Path());

  std::string out, err;
  ASSERT_EQ(ex.Run({"list"}, &out, &err), 0) << err;
  const std::string& text = out;
  EXPECT_NE(text.find("Группа \"Исходящие\"\n  Папка: " + ex.outbox + "\n  Берёт (2):\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    a.txt\n"), std::string::npos);
  EXPECT_NE(text.find("    б.txt\n"), std::string::npos);
  EXPECT_NE(text.find("  Исключает (1):\n    черновик.txt\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("c.dat"), std::string::npos) << "the include part does not select it";
  EXPECT_EQ(text.find("папка.txt"), std::string::npos) << "folders are never taken";
  EXPECT_NE(text.find("    1. Подписать; Ключ: BANK\n"
                      "    2. Шифровать; Ключ: BANK для CLIENT; копия в " +
                      ex.archive + "\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Выключенная"), std::string::npos) << "only enabled groups";

  // Named, a disabled group is shown too; a name the script lacks is a mistake.
  ASSERT_EQ(ex.Run({"list", "выключенная"}, &out), 0);
  EXPECT_NE(out.find("Группа \"Выключенная\" (выключена)"), std::string::npos);
  EXPECT_EQ(ex.Run({"list", "Нет такой"}, nullptr, &err), 2);
  EXPECT_NE(err.find("Нет такой"), std::string::npos);

  // Nothing touched: no file, folder or time changed, no log, no lock, no
  // working folder.
  EXPECT_EQ(Snapshot(ex.dir.Path()), before);
  EXPECT_FALSE(FileExists(ex.log));
  EXPECT_FALSE(FileExists(ex.ini + ".lock"));
}

// ---------------------------------------------------------------------------

bool Has(const std::vector<TFinding>& findings, TSeverity severity, const std::string& text) {
  for (const TFinding& f : findings)
    if (f.Severity == severity && f.Text == text) return true;
  return false;
}

std::string All(const std::vector<TFinding>& findings) {
  std::string text;
  for (const TFinding& f : findings) text += FindingLine(f) + "\n";
  return platform::Cp1251ToUtf8(text);
}

class Check : public ::testing::Test {
 protected:
  TExchange ex;
  testing_support::ScopedTempPath temp{ex.tmp};
  void TearDown() override { ScriptRegistry->ClearGroups(); }

  std::vector<TFinding> CheckNow() {
    LoadFromIni(*ScriptRegistry, ex.ini);
    return CheckScript(*ScriptRegistry, ex.ini);
  }
};

TEST_F(Check, ASoundScriptHasNoFindings) {
  ex.WriteScript([&] {
    ex.AddBankGroup();
    ex.AddClientGroup();
  });
  const std::vector<TFinding> findings = CheckNow();
  EXPECT_TRUE(findings.empty()) << All(findings);
  EXPECT_EQ(ListNames(ex.tmp), std::vector<std::string>{}) << "the key probe cleans up";
  std::string out;
  EXPECT_EQ(ex.Run({"check"}, &out), 0);
  EXPECT_EQ(out, "Итого: ошибок 0, предупреждений 0.\n");
  EXPECT_FALSE(FileExists(ex.log)) << "check writes no log line";
}

TEST_F(Check, EveryKindOfFindingIsReported) {
  const std::string gone = ex.dir.Path() + "нет/";
  const std::string file = ex.dir.Path() + "файл";
  WriteFile(file, "x");
  ex.WriteScript([&] {
    // Folders: a missing source, a missing destination, a file as the bad
    // folder, a copy folder that is missing.
    ex.AddBankGroup("Папки");
    TTesselActionList* folders = ScriptRegistry->GetGroup(0);
    folders->SourceMask = gone + "*";
    folders->DestFolder = gone;
    folders->BadFolder = file;
    folders->GetAction(1)->CopyTo = gone + "копии";
    // Keys: a signer without a secret key, a receiver without a public key,
    // a decryption with neither.
    ex.AddBankGroup("Ключи");
    TTesselActionList* keys = ScriptRegistry->GetGroup(1);
    static_cast<TTesselAction_sign*>(keys->GetAction(0))->KeyId = "NOSEC";
    static_cast<TTesselAction_encrypt*>(keys->GetAction(1))->ReceiverKeyList = "CLIENT;NOPUB";
    ex.AddClientGroup("Расшифровка");
    TTesselActionList* decrypt = ScriptRegistry->GetGroup(2);
    auto* dec = static_cast<TTesselAction_decrypt*>(decrypt->GetAction(0));
    dec->ReceiverKey = "NOSEC";
    dec->SenderKey = "NOPUB";
    decrypt->GetAction(1)->Enabled = false;
    decrypt->GetAction(2)->Enabled = false;
    // Delivers into its own source, with no enabled step, and a mask that
    // selects nothing.
    TTesselActionList* loop = ScriptRegistry->AddGroup("Петля");
    loop->Enabled = true;
    loop->SourceMask = ex.inbox + "|*.tmp";
    loop->DestFolder = ex.inbox;
    loop->BadFolder = ex.clientBad;
    loop->CreateAction(kKindNone);
    // A name the settings file cannot keep apart from another's, and one
    // with a bracket; disabled groups are checked for their names only.
    ScriptRegistry->AddGroup("Архив")->SourceMask = gone + "*";
    ScriptRegistry->AddGroup("АРХИВ");
    ScriptRegistry->AddGroup("Скобка]");
  });
  const std::vector<TFinding> findings = CheckNow();
  const std::string all = All(findings);
  const auto E = TSeverity::Error;
  const std::string missing = platform::ErrorText(ENOENT);
  EXPECT_TRUE(Has(findings, E, "группа \"Папки\": папка исходных файлов " + gone + ": " + missing))
      << all;
  EXPECT_TRUE(Has(findings, E, "группа \"Папки\": папка для результата " + gone + ": " + missing))
      << all;
  EXPECT_TRUE(
      Has(findings, E, "группа \"Папки\": папка для \"плохих\" файлов " + file + ": это не папка"))
      << all;
  EXPECT_TRUE(
      Has(findings, E,
          "группа \"Папки\": шаг 2 (Шифровать): папка для копии " + gone + "копии: " + missing))
      << all;
  const std::string noSecret = "группа \"Ключи\": шаг 1 (Подписать): секретный ключ \"NOSEC\": ";
  const std::string noPublic = "группа \"Ключи\": шаг 2 (Шифровать): открытый ключ \"NOPUB\": ";
  bool secretFound = false, publicFound = false, clientFlagged = false;
  for (const TFinding& f : findings) {
    secretFound |= f.Text.rfind(noSecret, 0) == 0;
    publicFound |= f.Text.rfind(noPublic, 0) == 0;
    clientFlagged |= f.Text.find("\"CLIENT\"") != std::string::npos;
  }
  EXPECT_TRUE(secretFound) << all;
  EXPECT_TRUE(publicFound) << all;
  EXPECT_FALSE(clientFlagged) << "a key that is there";
  bool decryptSecret = false, decryptPublic = false;
  for (const TFinding& f : findings) {
    decryptSecret |= f.Text.rfind(
                         "группа \"Расшифровка\": шаг 1 (Расшифровать): секретный ключ "
                         "\"NOSEC\": ",
                         0) == 0;
    decryptPublic |= f.Text.rfind(
                         "группа \"Расшифровка\": шаг 1 (Расшифровать): открытый ключ "
                         "\"NOPUB\": ",
                         0) == 0;
  }
  EXPECT_TRUE(decryptSecret) << all;
  EXPECT_TRUE(decryptPublic) << all;
  EXPECT_TRUE(Has(findings, E,
                  "группа \"Петля\": папка для результата " + ex.inbox +
                      " - это папка исходных файлов: доставленный файл будет взят "
                      "снова"))
      << all;
  EXPECT_TRUE(Has(findings, E,
                  "группа \"Петля\": маска \"|*.tmp\" не выбирает ни одного файла: "
                  "в ней нет шаблона до \"|\""))
      << all;
  EXPECT_TRUE(Has(findings, TSeverity::Warning,
                  "группа \"Петля\": нет включённых шагов, файлы доставляются без изменений"))
      << all;
  int nameFindings = 0;
  for (const TFinding& f : findings)
    if (f.Text.find("название не сохраняется") != std::string::npos) ++nameFindings;
  EXPECT_EQ(nameFindings, 2) << all;
  EXPECT_TRUE(std::none_of(findings.begin(), findings.end(), [](const TFinding& f) {
    return f.Text.rfind("группа \"Архив\": папка", 0) == 0;
  })) << "a disabled group's folders are not its concern yet";
  EXPECT_EQ(ListNames(ex.tmp), std::vector<std::string>{});

  // The program prints one line per finding and a total, and fails.
  std::string out;
  EXPECT_EQ(ex.Run({"check"}, &out), 1);
  size_t lines = 0;
  for (char c : out) lines += c == '\n';
  EXPECT_EQ(lines, findings.size() + 1);
  EXPECT_NE(out.find("ошибка: группа \"Петля\""), std::string::npos) << out;
}

// A load passes over a step of a kind code it does not know; a save would
// then drop it. The check names it, whichever group holds it.
TEST_F(Check, AStepOfAnUnknownKindIsAnErrorNamingGroupStepAndCode) {
  ex.WriteScript([&] {
    ex.AddBankGroup();
    ex.AddClientGroup("Выключенная");
    ScriptRegistry->GetGroup(1)->Enabled = false;
  });
  // After the two steps of "Исходящие", and after the disabled group's three.
  ASSERT_TRUE(WriteIniInteger("Исходящие\\ACTION_7", "ACTION_TYPE", 42, ex.ini));
  ASSERT_TRUE(WriteIniInteger("Выключенная\\ACTION_", "ACTION_TYPE", -3, ex.ini));
  const std::vector<TFinding> findings = CheckNow();
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->ActionCount(), 2);
  EXPECT_TRUE(Has(findings, TSeverity::Error,
                  "группа \"Исходящие\": шаг 3 (раздел \"Исходящие\\ACTION_7\"): неизвестный вид "
                  "действия 42, шаг пропущен при чтении настроек и не выполняется"))
      << All(findings);
  EXPECT_TRUE(Has(findings, TSeverity::Error,
                  "группа \"Выключенная\": шаг 4 (раздел \"Выключенная\\ACTION_\"): неизвестный "
                  "вид действия -3, шаг пропущен при чтении настроек и не выполняется"))
      << All(findings);
  EXPECT_EQ(findings.size(), 2u) << All(findings);

  std::string out;
  EXPECT_EQ(ex.Run({"check"}, &out), 1);
  EXPECT_NE(out.find("ошибка: группа \"Исходящие\": шаг 3 (раздел "), std::string::npos) << out;
}

TEST_F(Check, MissingKeyFoldersAndAnUnwritableLogAreErrors) {
  ex.WriteScript([&] {
    ScriptRegistry->PubKeysPath = "";
    ScriptRegistry->SecKeysPath = ex.dir.Path() + "нет-ключей/";
    ex.AddBankGroup();
  });
  // The log's name is taken by a folder.
  fs::create_directory(platform::Cp1251ToUtf8(ex.log));
  const std::vector<TFinding> findings = CheckNow();
  const std::string all = All(findings);
  const auto E = TSeverity::Error;
  EXPECT_TRUE(Has(findings, E, "не указана папка открытых ключей")) << all;
  EXPECT_TRUE(Has(
      findings, E,
      "папка секретных ключей " + ex.dir.Path() + "нет-ключей/: " + platform::ErrorText(ENOENT)))
      << all;
  bool library = false, log = false;
  for (const TFinding& f : findings) {
    library |= f.Text.rfind("библиотека не открывается: SignInit: ", 0) == 0;
    log |= f.Text.rfind("журнал событий " + ex.log + " не записывается: ", 0) == 0;
  }
  EXPECT_TRUE(library) << all;
  EXPECT_TRUE(log) << all;
}

// Several scripts of one machine: each is checked as alone, then a source
// folder that two of them take files from is an error (both would deliver
// the same file), however the folder is named; groups of one script, and
// disabled groups, share folders freely.
TEST_F(Check, ScriptsCheckedTogetherNameTheSourceFoldersTwoOfThemTakeFrom) {
  const std::string partner = ex.dir.Path() + "partner.ini";
  const std::string inboxLink = ex.dir.Path() + "ссылка-на-входящие/";
  fs::create_directory_symlink(platform::Cp1251ToUtf8(ex.inbox),
                               platform::Cp1251ToUtf8(ex.dir.Path() + "ссылка-на-входящие"));
  auto writePartner = [&](const std::string& source) {
    ex.WriteScript([&] {
      ex.AddClientGroup("Партнёр");
      ScriptRegistry->GetGroup(0)->SourceMask = source + "*.txt";
      ex.AddClientGroup("Выключенная");
      ScriptRegistry->GetGroup(1)->SourceMask = ex.outbox + "*";
      ScriptRegistry->GetGroup(1)->Enabled = false;
    });
    fs::rename(platform::Cp1251ToUtf8(ex.ini), platform::Cp1251ToUtf8(partner));
  };
  auto writeBank = [&] {
    ex.WriteScript([&] {
      ex.AddBankGroup();
      ex.AddClientGroup();
      ex.AddClientGroup("Входящие 2");
    });
  };

  writePartner(inboxLink);
  writeBank();
  std::string out;
  EXPECT_EQ(ex.Run({"check", "--settings", partner}, &out), 1);
  const size_t together = out.find("Сценарии вместе:\n");
  ASSERT_NE(together, std::string::npos) << out;
  EXPECT_EQ(out.rfind("Сценарий " + partner + ":\n", 0), 0u) << out;
  EXPECT_NE(out.find("Сценарий " + ex.ini + ":\n"), std::string::npos) << out;
  const std::string shared = out.substr(together);
  for (const char* group : {"\"Входящие\"", "\"Входящие 2\""})
    EXPECT_NE(shared.find("ошибка: папка исходных файлов " + inboxLink +
                          " - общая у группы \"Партнёр\" сценария " + partner + " и группы " +
                          group + " сценария " + ex.ini),
              std::string::npos)
        << group << "\n" << out;
  EXPECT_NE(shared.find("Итого: ошибок 2, предупреждений 0."), std::string::npos) << out;

  // The partner takes from a folder of its own: nothing in common.
  writePartner(ex.archive);
  writeBank();
  EXPECT_EQ(ex.Run({"check", "--settings", partner}, &out), 0) << out;
  EXPECT_NE(out.find("Сценарии вместе:\nИтого: ошибок 0, предупреждений 0.\n"),
            std::string::npos)
      << out;
}

// What stops once and run from starting, check reports: a metrics file
// whose folder is missing.
TEST_F(Check, AMetricsFolderThatStopsTheStartIsAnError) {
  ex.WriteScript([&] { ex.AddBankGroup(); });
  const std::string missing = ex.dir.Path() + "нет-папки/tessel.prom";
  std::string out, err;
  EXPECT_EQ(ex.Run({"check", "--metrics", missing}, &out), 1);
  const std::string problem = "папка файла показателей " + ex.dir.Path() +
                              "нет-папки/ недоступна для записи: " + platform::ErrorText(ENOENT);
  EXPECT_EQ(out.rfind("ошибка: " + problem + ", run и once не запустятся с --metrics\n", 0), 0u)
      << out;
  EXPECT_EQ(ex.Run({"once", "--metrics", missing}, &out, &err), 2);
  EXPECT_NE(err.find(problem), std::string::npos) << err;

  EXPECT_EQ(ex.Run({"check", "--metrics", ex.dir.Path() + "tessel.prom"}, &out), 0) << out;
  EXPECT_FALSE(FileExists(ex.dir.Path() + "tessel.prom")) << "check writes no metrics";
}

}  // namespace
