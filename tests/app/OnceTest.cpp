// tessel once over the first-run demonstration with the real library and
// keys: every byte arrives, and each exit status has its cause.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Cp1251.h"
#include "platform/RunLock.h"
#include "tests/app/TesselProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel_test;
using testing_support::FileExists;
using testing_support::ListNames;
using testing_support::ReadFile;
using testing_support::WriteFile;

// The demonstration beside copies of the programs, as scripts/run.sh makes it.
class Demo : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  std::string bin = dir.Sub("bin/");
  std::string tmp = dir.Sub("tmp/");
  std::string output = dir.Sub("output/");
  std::string demo = bin + "demo/";
  std::string log = bin + "TesselScripts.log";

  void SetUp() override {
    for (const char* name : {"tessel", "marvik", "liborlak.so"})
      fs::copy_file(platform::Cp1251ToUtf8(BinFolder() + name), platform::Cp1251ToUtf8(bin + name));
    const std::string command =
        "bash '" TESSEL_DEMO_SETUP "' '" + platform::Cp1251ToUtf8(bin) + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  // tessel beside the demonstration, with its default settings file.
  int Once(std::string* out = nullptr, std::string* err = nullptr,
           std::vector<std::string> args = {"once"}, std::string* rawOut = nullptr) {
    TProgram program(bin + "tessel", args, tmp, output);
    const int status = program.Wait();
    if (out) *out = program.Out();
    if (err) *err = program.Err();
    if (rawOut) *rawOut = program.RawOut();
    return status;
  }
};

TEST_F(Demo, OncePassesEveryFileToTheClientAndMirrorsTheLogOnStandardOutput) {
  const auto samples = FolderContents(demo + "bank/outbox/");
  ASSERT_EQ(samples.size(), 4u);
  std::string out, err;
  EXPECT_EQ(Once(nullptr, &err, {"once"}, &out), 0) << err;

  EXPECT_EQ(FolderContents(demo + "client/received/"), samples) << "every byte restored";
  EXPECT_EQ(ListNames(demo + "bank/outbox/"), std::vector<std::string>{});
  EXPECT_EQ(ListNames(demo + "client/inbox/"), std::vector<std::string>{});
  EXPECT_EQ(ListNames(demo + "bank/archive/").size(), 4u);
  EXPECT_EQ(ListNames(demo + "bank/bad/"), std::vector<std::string>{});
  EXPECT_EQ(ListNames(tmp), std::vector<std::string>{}) << "no working folder stays";

  // The window's sequence: load, open, the pass, close.
  const std::vector<std::string> fields = LogFields(log);
  ASSERT_GE(fields.size(), 5u);
  EXPECT_EQ(fields[0], "Чтение настроек из ini-файла");
  EXPECT_EQ(fields[1], "SignInit:\t\tНет ошибки.");
  EXPECT_EQ(fields[2], "CryptoInit\t\tНет ошибки.");
  EXPECT_EQ(fields[fields.size() - 2], "CryptoDone\t\tНет ошибки.");
  EXPECT_EQ(fields.back(), "SignDone\t\tНет ошибки.");
  EXPECT_EQ(CountFields(log, "Проверить подпись\tКлюч BANK : ЭЦП Верна"), 4);

  // Standard output holds every log line, in order, in UTF-8 (and the key
  // utility's own line).
  size_t at = 0;
  for (const std::string& line : LogLines(log)) {
    const std::string utf8 = platform::Cp1251ToUtf8(line) + "\n";
    const size_t found = out.find(utf8, at);
    ASSERT_NE(found, std::string::npos) << utf8;
    at = found + utf8.size();
  }
  EXPECT_EQ(out.find('\r'), std::string::npos);
}

TEST_F(Demo, AFileSentToBadOrLeftForLaterGivesOne) {
  ASSERT_EQ(Once(), 0);
  // Not encrypted: the client's decryption refuses it.
  WriteFile(demo + "client/inbox/plain.txt", "not encrypted");
  std::string err;
  EXPECT_EQ(Once(nullptr, &err), 1) << err;
  EXPECT_EQ(ReadFile(demo + "client/bad/plain.txt"), "not encrypted");
  EXPECT_EQ(CountFields(log, "Перенос в ошибки"), 1);

  // Nowhere to deliver: the file is left for later, and not lost.
  fs::remove_all(platform::Cp1251ToUtf8(demo + "client/bad"));
  fs::remove_all(platform::Cp1251ToUtf8(demo + "client/received"));
  WriteFile(demo + "client/inbox/again.txt", "not encrypted either");
  EXPECT_EQ(Once(), 1);
  int copies = 0;
  for (const std::string& root : {demo + "client/", tmp})
    for (const auto& entry : fs::recursive_directory_iterator(platform::Cp1251ToUtf8(root)))
      if (entry.path().filename() == "again.txt" &&
          ReadFile(platform::Utf8ToCp1251Lossy(entry.path().string())) == "not encrypted either")
        ++copies;
  EXPECT_GE(copies, 1);
}

TEST_F(Demo, OperationalErrorsGiveTwoAndTakeNoFile) {
  const auto samples = FolderContents(demo + "bank/outbox/");
  std::string err;

  // The lock held by another runner (here this test, as the window would).
  platform::RunLock window;
  ASSERT_EQ(window.Acquire(bin + "TesselScripts.ini"), 0);
  EXPECT_EQ(Once(nullptr, &err), 2);
  EXPECT_NE(err.find("процесс " + std::to_string(::getpid())), std::string::npos) << err;
  EXPECT_FALSE(FileExists(log)) << "a refused runner writes no log line";
  window.Release();

  // The library cannot open: the secret keys' folder is gone.
  fs::rename(platform::Cp1251ToUtf8(demo + "keys/secret"),
             platform::Cp1251ToUtf8(demo + "keys/moved"));
  EXPECT_EQ(Once(nullptr, &err), 2);
  EXPECT_NE(err.find("Библиотека не открылась"), std::string::npos) << err;
  const std::vector<std::string> fields = LogFields(log);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_NE(fields[1], "SignInit:\t\tНет ошибки.");
  EXPECT_EQ(fields[3].substr(0, 12), "CryptoDone\t\t");
  EXPECT_EQ(fields[4].substr(0, 10), "SignDone\t\t");
  EXPECT_EQ(FolderContents(demo + "bank/outbox/"), samples);

  // No settings file, and mistakes on the command line.
  fs::remove(platform::Cp1251ToUtf8(bin + "TesselScripts.ini"));
  EXPECT_EQ(Once(nullptr, &err), 2);
  EXPECT_NE(err.find("TesselScripts.ini"), std::string::npos) << err;
  EXPECT_EQ(Once(nullptr, &err, {"once", "--settings", platform::Cp1251ToUtf8(bin + "no.ini")}), 2);
  EXPECT_NE(err.find("no.ini"), std::string::npos);
  EXPECT_EQ(Once(nullptr, &err, {"onse"}), 2);
  EXPECT_NE(err.find("onse"), std::string::npos);
  EXPECT_EQ(Once(nullptr, &err, {"once", "--verbose"}), 2);
  EXPECT_NE(err.find("--verbose"), std::string::npos);
  EXPECT_EQ(Once(nullptr, &err, {"once", "--metrics", "/nonexistent-folder/m.prom"}), 2);
  EXPECT_EQ(FolderContents(demo + "bank/outbox/"), samples);
  EXPECT_EQ(ListNames(tmp), std::vector<std::string>{});
}

TEST_F(Demo, HelpAndVersionGoToStandardOutput) {
  std::string out;
  EXPECT_EQ(Once(&out, nullptr, {"--help"}), 0);
  EXPECT_NE(out.find("Использование: tessel"), std::string::npos) << "UTF-8 on the terminal";
  EXPECT_EQ(Once(&out, nullptr, {"--version"}), 0);
  EXPECT_EQ(out.rfind("tessel ", 0), 0u);
}

}  // namespace
