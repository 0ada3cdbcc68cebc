// What tessel run tells the service manager: notifications through a
// socket the test makes (readiness, status, the watchdog's pings), and the
// journal's entries through a fake of the journal: priority and subject.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/tessel/Console.h"
#include "app/tessel/ServiceNotifier.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "tests/app/NotifySocket.h"
#include "tests/support/TestSupport.h"

namespace {

using tessel_test::TNotifySocket;
using testing_support::TempDir;

TEST(ServiceNotifier, ReadinessStatusReloadAndStopReachTheServiceManager) {
  TempDir dir;
  TNotifySocket manager(dir.Path(), nullptr);
  ASSERT_TRUE(manager.Bound());
  TServiceNotifier notifier;
  ASSERT_TRUE(notifier.Listens());
  EXPECT_EQ(notifier.AliveInterval().count(), 0) << "no watchdog asked for";
  notifier.Ready("Последний проход: не было.");
  EXPECT_EQ(manager.Next(), "READY=1\nSTATUS=Последний проход: не было.");
  notifier.Status("Последний проход: 10.12.2026 08:00:00.");
  EXPECT_EQ(manager.Next(), "STATUS=Последний проход: 10.12.2026 08:00:00.");
  notifier.Reloading();
  EXPECT_EQ(manager.Next(), "RELOADING=1");
  notifier.Stopping();
  EXPECT_EQ(manager.Next(), "STOPPING=1");
}

TEST(ServiceNotifier, TheWatchdogIsPingedWhileTheServiceIsBusyElsewhere) {
  TempDir dir;
  TNotifySocket manager(dir.Path(), "200000");
  TServiceNotifier notifier;
  EXPECT_EQ(notifier.AliveInterval().count(), 100) << "twice per period";
  // Nothing is told from this thread (a long file in hand): the pings come
  // all the same, several in a row.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(manager.Next(), "WATCHDOG=1");
  notifier.Ready("x");
  EXPECT_EQ(manager.NextButPings(), "READY=1\nSTATUS=x");
}

TEST(ServiceNotifier, WithoutAServiceManagerNothingIsSent) {
  ::unsetenv("NOTIFY_SOCKET");
  ::setenv("WATCHDOG_USEC", "200000", 1);
  TServiceNotifier notifier;
  EXPECT_FALSE(notifier.Listens());
  EXPECT_EQ(notifier.AliveInterval().count(), 0);
  notifier.Ready("x");  // no socket to fail on
  ::unsetenv("WATCHDOG_USEC");
}

// The journal's entries, as the fake journal got them.
class Journal : public ::testing::Test {
 protected:
  Journal() {
    console.UseJournal([this](const std::vector<std::string>& fields) {
      entries.push_back(fields);
      return 0;
    });
  }
  TConsoleLog console;
  std::vector<std::vector<std::string>> entries;
};

TEST_F(Journal, AFileLinesCarryItsGroupFileAndCodeAndFailuresAreErrors) {
  console.AddLine("10.12.2026 08:00:00\tЧтение настроек из ini-файла", TLogKind::Normal);
  console.Subject("Исходящие", "pay0001.txt");
  console.AddLine("10.12.2026 08:00:01\tНачало обработки файла\t\"pay0001.txt\"", TLogKind::Normal);
  TFailureEvent event;
  event.Group = "Исходящие";
  event.File = "pay0001.txt";
  event.Code = 262;
  console.NoteFailure(event);
  console.AddLine("10.12.2026 08:00:02\tПодписать\tНе найден ключ.", TLogKind::Failure);
  // Another file's failure does not mark this one's lines.
  event.File = "pay0002.txt";
  event.Code = 5;
  console.NoteFailure(event);
  console.AddLine("10.12.2026 08:00:03\tКонец обработки файла\t\"pay0001.txt\"", TLogKind::Normal);
  console.Subject("Исходящие", "");
  console.AddLine("10.12.2026 08:00:04\tмежду файлами", TLogKind::Normal);

  const std::string group = "TESSEL_GROUP=" + platform::Cp1251ToUtf8("Исходящие");
  const std::vector<std::vector<std::string>> expected{
      {"MESSAGE=10.12.2026 08:00:00\t" + platform::Cp1251ToUtf8("Чтение настроек из ini-файла"),
       "PRIORITY=6", "SYSLOG_IDENTIFIER=tessel"},
      {"MESSAGE=10.12.2026 08:00:01\t" + platform::Cp1251ToUtf8("Начало обработки файла") +
           "\t\"pay0001.txt\"",
       "PRIORITY=6", "SYSLOG_IDENTIFIER=tessel", group, "TESSEL_FILE=pay0001.txt"},
      {"MESSAGE=10.12.2026 08:00:02\t" + platform::Cp1251ToUtf8("Подписать\tНе найден ключ."),
       "PRIORITY=3", "SYSLOG_IDENTIFIER=tessel", group, "TESSEL_FILE=pay0001.txt",
       "TESSEL_CODE=262"},
      {"MESSAGE=10.12.2026 08:00:03\t" + platform::Cp1251ToUtf8("Конец обработки файла") +
           "\t\"pay0001.txt\"",
       "PRIORITY=6", "SYSLOG_IDENTIFIER=tessel", group, "TESSEL_FILE=pay0001.txt",
       "TESSEL_CODE=262"},
      {"MESSAGE=10.12.2026 08:00:04\t" + platform::Cp1251ToUtf8("между файлами"), "PRIORITY=6",
       "SYSLOG_IDENTIFIER=tessel", group},
  };
  EXPECT_EQ(entries, expected);
}

// The log holds a file's end line back for the next write; in the journal
// it still stands under the file it ends.
TEST_F(Journal, AFilesEndLineHeldForTheNextWriteKeepsItsFile) {
  TempDir dir;
  const std::string logPath = LogFilePath();
  SetLogFilePath(dir.Path() + "t.log");
  TLogTarget* const target = LogTarget;
  LogTarget = &console;
  {
    TConsoleSubjects sink(console);
    sink.Subject("g", "a.txt");
    sink.WriteLines({{"Начало обработки файла", "\"a.txt\""}});
    sink.WriteEnd({"Конец обработки файла", "\"a.txt\""});
    sink.Subject("g", "");
    sink.Write(TLogKind::Normal, {"между файлами"});
  }
  LogTarget = target;
  SetLogFilePath(logPath);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_NE(entries[1][0].find(platform::Cp1251ToUtf8("Конец обработки файла")), std::string::npos);
  EXPECT_EQ(entries[1].back(), "TESSEL_FILE=a.txt");
  EXPECT_EQ(entries[2].back(), "TESSEL_GROUP=g");
}

TEST_F(Journal, AMessageStaysOneLineWithoutControlCharacters) {
  console.Subject("g", "a\nb\x1b.txt");
  console.AddLine("t\tНачало обработки файла\t\"a\nb\x1b.txt\"", TLogKind::Normal);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0][0],
            "MESSAGE=t\t" + platform::Cp1251ToUtf8("Начало обработки файла") + "\t\"a?b?.txt\"");
  // The field keeps the name as it is, so that a search for it finds it.
  EXPECT_EQ(entries[0][4], "TESSEL_FILE=a\nb\x1b.txt");
}

}  // namespace
