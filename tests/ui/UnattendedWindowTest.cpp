// The window left alone and shared: saves that would lose another program's
// changes ask, so do "Восстановить" over unsaved edits; failures reach the
// status line and the notifications; another runner of the script and a
// library that did not open are said; the check names steps a load left out.
#include <signal.h>
#include <sys/wait.h>
#include <QLabel>
#include <QPlainTextEdit>

#include "config/uIniUtil.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/Look.h"

namespace ui_test {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class UnattendedWindow : public MainWindowTest {
 protected:
  void OneGroup() {
    WriteScript([] {
      TTesselActionList* g = ScriptRegistry->AddGroup("G");
      g->SourceMask = "/in/*";
      g->DestFolder = "/out";
      g->CreateAction(kKindNone);
    });
  }
  QString Status() { return Find<QLabel>(window.get(), "StatusLine")->text(); }
};

// Another program (a second window, an editor) saves the file while this
// window has it open: a save here asks. "Отмена" leaves the file and the
// edits as they were; "Перезаписать" writes the window's script; "Прочитать"
// takes the file's.
TEST_F(UnattendedWindow, ASaveOverAFileChangedOnDiskAsksReloadOverwriteOrCancel) {
  OneGroup();
  Open();
  SelectGroup(0);
  Edit("cxButtonEdit4")->setText(QStringLiteral("/mine"));
  const std::string theirs = ReadFile(ini) + "[Другая\\MAIN]\r\nDEST_FOLDER=/theirs\r\n";
  WriteFile(ini, theirs);

  auto seen = std::make_shared<Seen>();
  modal::Prepare(Click(QMessageBox::Cancel, seen));
  Action("actSave")->trigger();
  EXPECT_TRUE(seen->text.contains(Q(ini))) << seen->text.toStdString();
  EXPECT_EQ(ReadFile(ini), theirs);
  EXPECT_FALSE(window->Saved());
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->DestFolder, "/mine");

  modal::Prepare(Click(QMessageBox::Save));  // "Перезаписать"
  Action("actSave")->trigger();
  EXPECT_TRUE(window->Saved());
  EXPECT_EQ(ReadIniString("G\\MAIN", "DEST_FOLDER", "", ini), "/mine");
  EXPECT_EQ(ReadFile(ini).find("/theirs"), std::string::npos);

  // Saved here: the next save asks nobody (an unanswered box fails the test).
  Interval()->setValue(5);
  Action("actSave")->trigger();
  EXPECT_TRUE(window->Saved());

  // Changed again; this time the file's script is taken.
  ASSERT_TRUE(WriteIniString("G\\MAIN", "DEST_FOLDER", "/theirs", ini));
  Interval()->setValue(6);
  modal::Prepare(Click(QMessageBox::Open));  // "Прочитать"
  Action("actSave")->trigger();
  EXPECT_TRUE(window->Saved());
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->DestFolder, "/theirs");
  EXPECT_EQ(Edit("cxButtonEdit4")->text(), QStringLiteral("/theirs"));
  EXPECT_EQ(Interval()->value(), 5);
}

TEST_F(UnattendedWindow, RestoreAsksOnlyOverUnsavedEdits) {
  OneGroup();
  Open();
  SelectGroup(0);
  Action("actLoad")->trigger();  // nothing to lose: no question
  Edit("cxButtonEdit4")->setText(QStringLiteral("/mine"));

  auto seen = std::make_shared<Seen>();
  modal::Prepare(Click(QMessageBox::No, seen));
  Action("actLoad")->trigger();
  EXPECT_EQ(
      seen->text,
      QStringLiteral("Настройки не сохранены! Восстановить сохранённые и потерять изменения?"));
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->DestFolder, "/mine");
  EXPECT_FALSE(window->Saved());

  modal::Prepare(Click(QMessageBox::Yes));
  Action("actLoad")->trigger();
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->DestFolder, "/out");
  EXPECT_TRUE(window->Saved());
}

// Failure events reach the status line and a notification once per episode.
TEST_F(UnattendedWindow, FailuresNameTheLastInTheStatusLineAndNotifyOncePerEpisode) {
  OneGroup();
  // The script's command runs once for the episode, with the failure in its environment.
  const std::string told = dir.Path() + "told.txt";
  ASSERT_TRUE(
      WriteIniString("MAIN", "ON_FAILURE", "printf %s \"$TESSEL_FILE\" >> '" + told + "'", ini));
  Open();
  TFailureEvent failure;
  failure.Group = "G";
  failure.File = "pay0001.txt";
  failure.Reason = Cp("Не найден ключ BANK");
  failure.Code = 2;
  failure.Class = TFailureClass::Environment;
  failure.Starts = true;
  // As the pass reports them, from its own thread.
  std::thread pass([&] {
    ScriptRegistry->OnFailure(failure);
    failure.Starts = false;
    failure.File = "pay0002.txt";
    ScriptRegistry->OnFailure(failure);
  });
  pass.join();
  ASSERT_TRUE(WaitFor([&] {
    return window->Tray().LastFailure().has_value() &&
           window->Tray().LastFailure()->File == "pay0002.txt";
  }));
  EXPECT_EQ(window->FailureNotices(), 1);
  ASSERT_TRUE(WaitFor([&] { return ReadFile(told) == "pay0001.txt"; })) << ReadFile(told);
  EXPECT_TRUE(Status().startsWith(
      QStringLiteral("Последний сбой: группа \"G\", файл pay0002.txt: Не найден ключ BANK")))
      << Status().toStdString();

  failure.Cleared = true;
  ScriptRegistry->OnFailure(failure);
  ASSERT_TRUE(WaitFor([&] { return !window->Tray().LastFailure(); }));
  EXPECT_FALSE(Status().contains(QStringLiteral("Последний сбой"))) << Status().toStdString();
  EXPECT_EQ(window->FailureNotices(), 1);
  CloseWithoutQuestion();
}

TEST_F(UnattendedWindow, AnotherRunnerOfTheScriptIsSaidAtLoad) {
  OneGroup();
  const pid_t runner = testing_support::HoldRunLockInChild(ini);
  ASSERT_GT(runner, 0);
  Open();
  EXPECT_TRUE(Status().startsWith(
      QStringLiteral("Сценарий выполняется программой с номером процесса %1: она выполняет "
                     "сохранённый в файле вариант")
          .arg(runner)))
      << Status().toStdString();
  ::kill(runner, SIGKILL);
  ::waitpid(runner, nullptr, 0);
  Action("actLoad")->trigger();
  EXPECT_FALSE(Status().contains(QStringLiteral("Сценарий выполняется")));
}

TEST_F(UnattendedWindow, AStartWithoutTheLibraryShowsARedStatus) {
  WriteScript([&] {
    // Key folders that are not there: the library refuses to open.
    ScriptRegistry->PubKeysPath = dir.Path() + "no-keys/";
    ScriptRegistry->SecKeysPath = dir.Path() + "no-keys/";
  });
  Open();
  QLabel* status = Find<QLabel>(window.get(), "StatusLine");
  Action("actRun")->trigger();
  ASSERT_TRUE(window->CryptoReady());
  EXPECT_TRUE(Status().startsWith(
      QStringLiteral("Библиотека не открыта: действия с ключами не выполняются.")))
      << Status().toStdString();
  EXPECT_EQ(status->palette().color(QPalette::WindowText), look::FailureColour());
  Action("actStop")->trigger();
  EXPECT_FALSE(Status().contains(QStringLiteral("Библиотека не открыта")));
  EXPECT_NE(status->palette().color(QPalette::WindowText), look::FailureColour());
}

// The window's check names a step the load passed over for its kind code.
TEST_F(UnattendedWindow, TheCheckReportsAStepOfAnUnknownKind) {
  OneGroup();
  ASSERT_TRUE(WriteIniInteger("G\\ACTION_9", "ACTION_TYPE", 99, ini));
  Open();
  ASSERT_EQ(ScriptRegistry->GetGroup(0)->ActionCount(), 1);
  QString text;
  modal::Prepare([&](QDialog& dialog) {
    text = Find<QPlainTextEdit>(&dialog, "TextBoxText")->toPlainText();
    return int(QDialog::Rejected);
  });
  Action("actCheck")->trigger();
  EXPECT_TRUE(text.contains(QStringLiteral(
      "ошибка: группа \"G\": шаг 2 (раздел \"G\\ACTION_9\"): неизвестный вид действия 99")))
      << text.toStdString();
}

}  // namespace
}  // namespace ui_test
