// Opening and closing the real crypto library as "Пуск" and "Стоп" do, with
// the key utility run first.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "runtime/CryptoSession.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedLogFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class CryptoSession : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "t.log"};
  std::string tools = dir.Sub("tools/");
  std::string keys = dir.Sub("keys/");
  std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  TCryptoSession session;
  std::vector<std::string> errors;

  std::filesystem::path oldFolder = std::filesystem::current_path();

  void SetUp() override {
    ::setenv("PATH", platform::Cp1251ToUtf8(tools).c_str(), 1);
    // A name not found on the search path is tried in the current folder.
    std::filesystem::current_path(platform::Cp1251ToUtf8(dir.Path()));
    session.OnKeyUtilityError = [this](const std::string& text) { errors.push_back(text); };
  }
  void TearDown() override {
    ::setenv("PATH", oldPath.c_str(), 1);
    std::filesystem::current_path(oldFolder);
    if (session.FCryptoReady) session.DoneCrypto();
  }
  // A key utility that notes its arguments and ends with the exit code.
  void KeyUtility(int exitCode) {
    const std::string path = tools + kKeyUtilityName;
    WriteFile(path, "#!/bin/sh\necho \"$@\" >> \"${0%/*}/calls.txt\"\nexit " +
                        std::to_string(exitCode) + "\n");
    ::chmod(platform::Cp1251ToUtf8(path).c_str(), 0755);
  }
};

TEST_F(CryptoSession, StartKeyUtilityRunsItWithTheCommandUAndWaits) {
  KeyUtility(0);
  EXPECT_TRUE(session.StartKeyUtility());
  // Waited for: its output is complete when the call returns.
  EXPECT_EQ(ReadFile(tools + "calls.txt"), "u\n");
  // Its exit code is not read.
  KeyUtility(3);
  EXPECT_TRUE(session.StartKeyUtility());
  EXPECT_TRUE(errors.empty());
}

TEST_F(CryptoSession, AKeyUtilityThatCannotStartReportsThePlatformsText) {
  EXPECT_FALSE(session.StartKeyUtility());
  EXPECT_EQ(errors, std::vector<std::string>{platform::ErrorText(ENOENT)});
  // A file that is not a program.
  WriteFile(tools + kKeyUtilityName, "not a program");
  ::chmod(platform::Cp1251ToUtf8(tools + kKeyUtilityName).c_str(), 0644);
  EXPECT_FALSE(session.StartKeyUtility());
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1], platform::ErrorText(EACCES));
}

TEST_F(CryptoSession, InitAndDoneLogTheLibrarysResults) {
  KeyUtility(0);
  EXPECT_FALSE(session.LibraryOpen());
  session.InitCrypto(keys, keys);
  EXPECT_TRUE(session.FCryptoReady);
  EXPECT_TRUE(session.LibraryOpen());
  session.DoneCrypto();
  EXPECT_FALSE(session.FCryptoReady);
  EXPECT_FALSE(session.LibraryOpen());
  EXPECT_EQ(log.Fields(),
            (std::vector<std::string>{"SignInit:\t\tНет ошибки.", "CryptoInit\t\tНет ошибки.",
                                      "CryptoDone\t\tНет ошибки.", "SignDone\t\tНет ошибки."}));
  // Closing again reaches the library, which answers that it is not open.
  session.DoneCrypto();
  EXPECT_EQ(log.Fields().back(), "SignDone\t\tОшибка инициализации.");
}

TEST_F(CryptoSession, FailedOpeningIsLoggedAndTheSessionIsReadyAllTheSame) {
  session.InitCrypto("", "");
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(session.FCryptoReady);
  // Ready for the window's timer, but not open for a pass.
  EXPECT_FALSE(session.LibraryOpen());
  EXPECT_NE(session.SignInitCode, 0);
  EXPECT_NE(session.CryptoInitCode, 0);
  EXPECT_EQ(log.Fields(),
            (std::vector<std::string>{"SignInit:\t\tОшибка параметра обращения к функции.",
                                      "CryptoInit\t\tОшибка параметра обращения к функции."}));
}

TEST_F(CryptoSession, OnlyResultsOtherThanSuccessAreMarkedAsFailures) {
  struct Kinds : TLogTarget {
    std::vector<bool> failures;
    void AddLine(const std::string&, TLogKind kind) override {
      failures.push_back(kind == TLogKind::Failure);
    }
  } kinds;
  TLogTarget* old = LogTarget;
  LogTarget = &kinds;
  KeyUtility(0);
  session.InitCrypto(keys, keys);
  session.DoneCrypto();
  session.InitCrypto("", "");
  LogTarget = old;
  EXPECT_EQ(kinds.failures, (std::vector<bool>{false, false, false, false, true, true}));
}

}  // namespace
