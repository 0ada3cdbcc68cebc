// "Ключи..." shows marvik's inventory of the saved script row for row, the
// status line names a key the script uses that ends within its warning days,
// and the log tells it as a failure line at "Пуск" and again each new day.
#include <unistd.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTreeWidget>
#include <atomic>
#include <cstdio>
#include <ctime>

#include "crypto/CryptoActions.h"
#include "engine/Readiness.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/LogView.h"

#ifdef TESSEL_MARVIK
namespace ui_test {
namespace {

std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  ::pclose(pipe);
  return output;
}

class KeysWindow : public MainWindowTest {
 protected:
  std::string secret = dir.Sub("keys/secret/");
  std::string pub = dir.Sub("keys/public/");
  std::string soon = platform::FormatUtcDate(std::time(nullptr) + 10 * 86400);

  void SetUp() override {
    MainWindowTest::SetUp();
    // The real key utility in the stand-in's place: the window runs its list.
    const std::string utility = platform::Cp1251ToUtf8(keyUtilityDir + "marvik");
    ASSERT_EQ(::unlink(utility.c_str()), 0);
    ASSERT_EQ(::symlink(TESSEL_MARVIK, utility.c_str()), 0);
    const std::string command = std::string("'") + TESSEL_MARVIK + "' create-pgp SOON '" +
                                platform::Cp1251ToUtf8(secret) + "' '" +
                                platform::Cp1251ToUtf8(pub) +
                                "' 'Soon <soon@corp.example>' --expires " + soon + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    WriteScript([this] {
      TTesselActionList* out = KeyedGroup(secret, pub, Cp("Исходящие"), dir.Sub("out/") + "*.txt",
                                          dir.Sub("sent/"), dir.Sub("bad/"));
      auto* sign = static_cast<TTesselAction_sign*>(out->CreateAction(kKindSign));
      sign->KeyId = "SOON";
      sign->Enabled = true;
      auto* check = static_cast<TTesselAction_checksign*>(out->CreateAction(kKindCheckSign));
      check->KeyList = "NOWHERE";
      check->Enabled = true;
    });
  }
};

TEST_F(KeysWindow, TheTableIsMarviksAndTheStatusLineNamesTheNearestExpiry) {
  Open();
  std::vector<QStringList> shown;
  modal::Prepare([&](QDialog& dialog) {
    auto* table = Find<QTreeWidget>(&dialog, "KeysTable");
    QStringList header;
    for (int c = 0; c < table->columnCount(); ++c) header << table->headerItem()->text(c);
    shown.push_back(header);
    for (int i = 0; i < table->topLevelItemCount(); ++i) {
      QStringList row;
      for (int c = 0; c < table->columnCount(); ++c) row << table->topLevelItem(i)->text(c);
      shown.push_back(row);
    }
    return QDialog::Rejected;
  });
  Action("actKeys")->trigger();

  // Row for row what marvik list --script prints.
  const QStringList printed =
      QString::fromStdString(Shell(std::string("'") + TESSEL_MARVIK + "' list --script '" +
                                   platform::Cp1251ToUtf8(ini) + "'"))
          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(shown.size(), static_cast<size_t>(printed.size()));
  for (size_t i = 0; i < shown.size(); ++i)
    EXPECT_EQ(shown[i].join(QLatin1Char('\t')), printed[static_cast<int>(i)]);
  bool soonSeen = false, nowhereSeen = false;
  for (const QStringList& row : shown) {
    soonSeen = soonSeen || (row.value(1) == QStringLiteral("SOON") &&
                            row.join(' ').contains(QStringLiteral("expires in")));
    nowhereSeen = nowhereSeen || (row.value(1) == QStringLiteral("NOWHERE") &&
                                  row.join(' ').contains(QStringLiteral("missing")));
  }
  EXPECT_TRUE(soonSeen);
  EXPECT_TRUE(nowhereSeen);

  Action("actRun")->trigger();
  const QString status = Find<QLabel>(window.get(), "StatusLine")->text();
  Action("actStop")->trigger();
  EXPECT_TRUE(status.startsWith(QStringLiteral("Секретный ключ SOON истекает ") +
                                QString::fromStdString(soon)))
      << status.toStdString();
}

TEST_F(KeysWindow, AKeyWithinItsDaysIsAFailureLineAtStartAndAgainOnTheNextDayOnly) {
  // Noon of today, moved by the test: two minutes and a day later.
  std::atomic<int64_t> now = *platform::ParseLocalTime(
      platform::FormatLocalTime(std::time(nullptr)).substr(0, 10) + " 12:00");
  SetPassWallClock([&now] { return now.load() * 1'000'000'000; });
  struct RealClockAfter {
    ~RealClockAfter() { SetPassWallClock({}); }
  } realClockAfter;
  const std::string warning = Cp("Срок действия ключа истекает ") + soon + ", ";
  const auto warnings = [&] {
    int count = 0;
    for (const std::string& line : LogFields())
      if (line.rfind(warning, 0) == 0) {
        ++count;
        EXPECT_NE(line.find(Cp("\tсекретный ключ SOON\t")), std::string::npos)
            << Q(line).toStdString();
      }
    return count;
  };

  Open();
  Action("actRun")->trigger();
  EXPECT_EQ(warnings(), 1);
  const QTextBlock shown =
      Find<QPlainTextEdit>(window.get(), "Memo1")->document()->find(Q(warning)).block();
  ASSERT_TRUE(shown.isValid());
  EXPECT_TRUE(TLogView::ShowsFailure(shown));

  now += 120;  // looked at again, the same day
  Tick();
  EXPECT_EQ(warnings(), 1);
  now += 86400;
  Tick();
  EXPECT_EQ(warnings(), 2);
  Action("actStop")->trigger();
}

}  // namespace
}  // namespace ui_test
#endif
