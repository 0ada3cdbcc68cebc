// The main window while passes run on their own thread: the status line and
// the group list's account, failure lines in their colour, a long pass that
// leaves the window alive and stops after its file in hand, and the run lock
// against another runner of the script.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <utility>

#include "crypto/Orlak.h"
#include "history/HistorySearchJob.h"
#include "history/HistoryStore.h"
#include "platform/RunLock.h"
#include "tests/engine/FakeStep.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/HistoryDialog.h"
#include "ui/LogView.h"
#include "ui/Look.h"
#include "ui/UiText.h"

namespace ui_test {
namespace {

using testing_support::FileExists;
using testing_support::ListNames;
using testing_support::WriteFile;

class PassingWindow : public MainWindowTest {
 protected:
  std::string out = dir.Sub("out/");
  std::string bad = dir.Sub("bad/");

  // An enabled group of one enabled do-nothing step, in a script whose key
  // folders the library accepts.
  TTesselActionList* Group(const std::string& name, const std::string& source,
                           const std::string& dest, const std::string& badFolder) {
    ScriptRegistry->PubKeysPath = ScriptRegistry->SecKeysPath = dir.Sub("keys/");
    TTesselActionList* g = ScriptRegistry->AddGroup(name);
    g->Enabled = true;
    g->SourceMask = source + "*";
    g->DestFolder = dest;
    g->BadFolder = badFolder;
    g->CreateAction(kKindNone)->Enabled = true;
    return g;
  }
  void Run() { Action("actRun")->trigger(); }
  void Stop() { Action("actStop")->trigger(); }
  QString Status() { return Find<QLabel>(window.get(), "StatusLine")->text(); }
  QPlainTextEdit* Memo() { return Find<QPlainTextEdit>(window.get(), "Memo1"); }
  // The view's lines without their timestamps, as the log file's fields.
  std::vector<std::string> ShownFields() {
    std::vector<std::string> fields;
    for (QTextBlock b = Memo()->document()->firstBlock(); b.isValid(); b = b.next()) {
      const std::string line = *FromQ(b.text());
      fields.push_back(line.substr(line.find('\t') + 1));
    }
    return fields;
  }
  // The view's line that holds the text, or an invalid block.
  QTextBlock Shown(const QString& text) {
    for (QTextBlock b = Memo()->document()->lastBlock(); b.isValid(); b = b.previous())
      if (b.text().contains(text)) return b;
    return {};
  }
};

TEST_F(PassingWindow, TheStatusLineCountsDeliveredBadAndLeftFilesSincePuskAndGroupsTellTheirPass) {
  const std::string in1 = dir.Sub("in1/"), in2 = dir.Sub("in2/"), in3 = dir.Sub("in3/");
  WriteScript([&] {
    Group("Delivers", in1, out, bad);
    // A signature check of an unsigned file fails its step: the file is bad.
    TTesselActionList* failing = Group("Bad", in2, out, bad);
    failing->ClearActions();
    failing->CreateAction(kKindCheckSign)->Enabled = true;
    Group("Left", in3, dir.Path() + "no-dest/", dir.Path() + "no-bad/");
    Group("Missing", dir.Path() + "no-source/", out, bad);
  });
  WriteFile(in1 + "a.txt", "a");
  WriteFile(in2 + "b.txt", "b");
  WriteFile(in3 + "c.txt", "c");
  Open();
  EXPECT_TRUE(Status().startsWith(QStringLiteral("Последний проход: не было.")));
  EXPECT_EQ(Groups()->item(0)->toolTip(), QStringLiteral("Проходов ещё не было"));
  Run();
  Tick();
  EXPECT_TRUE(FileExists(out + "a.txt"));
  EXPECT_TRUE(FileExists(bad + "b.txt"));
  EXPECT_TRUE(Status().contains(
      QStringLiteral("После пуска: доставлено 1, в ошибки 1.  Ожидают: 1 (папка не принимает 1).")))
      << Status().toStdString();
  EXPECT_FALSE(Status().contains(QStringLiteral("не было")));
  EXPECT_TRUE(Groups()->item(0)->toolTip().startsWith(QStringLiteral(
      "Последний проход: найдено 1, взято 1, доставлено 1, в ошибки 0, оставлено 0")))
      << Groups()->item(0)->toolTip().toStdString();
  EXPECT_TRUE(Groups()->item(1)->toolTip().contains(QStringLiteral("в ошибки 1")));
  EXPECT_TRUE(Groups()->item(2)->toolTip().contains(QStringLiteral("оставлено 1")));
  // Only the group whose source folder is missing is marked.
  EXPECT_TRUE(Groups()->item(3)->toolTip().endsWith(
      QStringLiteral("\nПапка исходных файлов не найдена или не читается")));
  EXPECT_EQ(Groups()->item(3)->foreground().color(), look::FailureColour());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Groups()->item(i)->foreground(), QBrush()) << i;

  // The next pass adds to the counts; the file whose folders are missing
  // still waits, and is counted once.
  WriteFile(in1 + "d.txt", "d");
  Tick();
  EXPECT_TRUE(Status().contains(QStringLiteral("доставлено 2, в ошибки 1.  Ожидают: 1 (")))
      << Status().toStdString();
  // A new "Пуск" counts from nothing.
  Stop();
  Run();
  EXPECT_TRUE(Status().contains(QStringLiteral("доставлено 0, в ошибки 0.  Ожидают: 0.")));
  Stop();
}

// The window's passes keep the history beside its log, and a group's
// duplicate guard works there as in tessel.
TEST_F(PassingWindow, PassesKeepTheHistoryAndTheGuardRefusesAResentPayment) {
  const std::string in = dir.Sub("in/");
  WriteScript([&] { Group("Платежи", in, out, bad)->DuplicateDays = 30; });
  WriteFile(in + "pay-0412.txt", "pay 1000");
  Open();
  Run();
  Tick();
  WriteFile(in + "pay-0415.txt", "pay 1000");
  Tick();
  Stop();
  EXPECT_TRUE(FileExists(out + "pay-0412.txt"));
  EXPECT_TRUE(FileExists(bad + "pay-0415.txt"));

  const auto store = THistoryStore::OpenToRead(dir.Path() + "TesselScripts.history", nullptr);
  ASSERT_TRUE(store);
  const std::vector<THistoryRecord> records = store->Find({});
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Name, "pay-0412.txt");
  EXPECT_EQ(records[0].Outcome, "delivered");
  EXPECT_EQ(records[0].Script, ini);
  EXPECT_EQ(records[1].Outcome, "bad");
  EXPECT_NE(records[1].Why.find("pay-0412.txt"), std::string::npos);
  EXPECT_EQ(store->Verify(), 0);
}

// "История..." while the window runs (and holds the script's run lock): the
// newest road first, a search by name, and the selected road with its log
// lines and none of another file's.
TEST_F(PassingWindow, TheHistoryDialogFindsARoadAndShowsItsLogLinesWhileRunning) {
  const std::string in = dir.Sub("in/");
  WriteScript([&] { Group("Платежи", in, out, bad); });
  WriteFile(in + "pay-0412.txt", "pay 1000");
  WriteFile(in + "stat.txt", "statement");
  Open();
  Run();
  Tick();
  ASSERT_TRUE(FileExists(out + "pay-0412.txt"));
  ASSERT_TRUE(Action("actHistory")->isEnabled());
  QStringList all, found;
  QString road;
  modal::Prepare([&](QDialog& dialog) {
    // Each search's result comes from its own thread.
    auto searched = [&] {
      return WaitFor([&] { return static_cast<THistoryDialog&>(dialog).SearchesRunning() == 0; });
    };
    auto* table = Find<QTreeWidget>(&dialog, "HistoryTable");
    EXPECT_TRUE(searched());
    for (int i = 0; i < table->topLevelItemCount(); ++i) all << table->topLevelItem(i)->text(2);
    Find<QLineEdit>(&dialog, "HistorySearch")->setText(QStringLiteral(" pay-*.txt"));
    Find<QPushButton>(&dialog, "HistoryFind")->click();
    EXPECT_TRUE(searched());
    for (int i = 0; i < table->topLevelItemCount(); ++i) found << table->topLevelItem(i)->text(3);
    if (table->topLevelItemCount() > 0) table->topLevelItem(0)->setSelected(true);
    road = Find<QPlainTextEdit>(&dialog, "HistoryRoad")->toPlainText();
    return QDialog::Rejected;
  });
  Action("actHistory")->trigger();
  Stop();
  // The newest stands first.
  const auto store = THistoryStore::OpenToRead(dir.Path() + "TesselScripts.history", nullptr);
  ASSERT_TRUE(store);
  const std::vector<THistoryRecord> records = store->Find({});
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(all, QStringList({Q(records[1].Name), Q(records[0].Name)}));
  EXPECT_EQ(found, QStringList{QStringLiteral("доставлен")});
  EXPECT_TRUE(road.contains(QStringLiteral("Итог: доставлен ") + Q(out + "pay-0412.txt")))
      << road.toStdString();
  EXPECT_TRUE(road.contains(QStringLiteral("\tНачало обработки файла\t\"pay-0412.txt\"")))
      << road.toStdString();
  EXPECT_TRUE(road.contains(QStringLiteral("\tКонец обработки файла\t\"pay-0412.txt\"")));
  EXPECT_FALSE(road.contains(QStringLiteral("stat.txt"))) << road.toStdString();
}

// The history's searches run on their own threads: a search started while
// another runs shows its own records only, whenever the other one ends, and
// closing the dialog stops a search that runs.
TEST(HistoryDialog, ASecondSearchSupersedesTheFirstAndClosingStopsOne) {
  testing_support::TempDir dir;
  const std::string path = dir.Path() + "h.history";
  {
    THistoryStore store(path);
    THistoryRecord first, second;
    first.Name = "first.txt";
    second.Name = "second.txt";
    first.Outcome = second.Outcome = "delivered";
    store.Append({first, second});
  }
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> queries{0};
  std::atomic<bool> closedWhileRunning{false};
  THistorySearchJob::Query query = [&](const std::string& at, const THistoryFilter& filter,
                                       const std::atomic<bool>& abandoned) {
    ++queries;
    if (filter.NameMask == "first*") {
      // Held until released, then it finds all it was asked for, abandoned or not.
      released.wait();
      const std::atomic<bool> wanted{false};
      return FindInHistory(at, filter, wanted);
    }
    if (filter.NameMask == "*") {
      while (!abandoned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      closedWhileRunning = true;
    }
    return FindInHistory(at, filter, abandoned);
  };
  auto dialog = std::make_unique<THistoryDialog>(path, dir.Path() + "h.log", nullptr, query);
  bool releasedYet = false;
  auto releaseFirst = [&] {
    if (!std::exchange(releasedYet, true)) release.set_value();
  };
  // A failed check ends the test early: the held search is let go before
  // the dialog waits for it.
  struct TLetGo {
    std::function<void()> go;
    ~TLetGo() { go(); }
  } letGo{releaseFirst};
  auto* count = Find<QLabel>(dialog.get(), "HistoryCount");
  auto* table = Find<QTreeWidget>(dialog.get(), "HistoryTable");
  auto names = [&] {
    QStringList shown;
    for (int i = 0; i < table->topLevelItemCount(); ++i) shown << table->topLevelItem(i)->text(2);
    return shown;
  };
  auto search = [&](const char* text) {
    Find<QLineEdit>(dialog.get(), "HistorySearch")->setText(QString::fromLatin1(text));
    Find<QPushButton>(dialog.get(), "HistoryFind")->click();
  };
  ASSERT_TRUE(WaitFor([&] { return dialog->SearchesRunning() == 0; }));
  EXPECT_EQ(names(), QStringList({QStringLiteral("second.txt"), QStringLiteral("first.txt")}));

  search("first*");
  EXPECT_EQ(count->text(), QStringLiteral("Поиск..."));
  EXPECT_TRUE(names().isEmpty());
  search("second*");
  ASSERT_TRUE(WaitFor([&] { return dialog->SearchesRunning() == 1; }));
  EXPECT_EQ(names(), QStringList{QStringLiteral("second.txt")});
  releaseFirst();
  ASSERT_TRUE(WaitFor([&] { return dialog->SearchesRunning() == 0; }));
  EXPECT_EQ(queries, 3);
  EXPECT_EQ(names(), QStringList{QStringLiteral("second.txt")});
  EXPECT_EQ(count->text(), QStringLiteral("Найдено записей: 1"));

  // This one runs until abandoned: closing abandons it and waits for its end.
  search("*");
  dialog.reset();
  EXPECT_TRUE(closedWhileRunning);
}

TEST_F(PassingWindow, FailureLinesOfAPassStandOutAndTheOthersDoNot) {
  const std::string in = dir.Sub("in/");
  WriteScript([&] {
    TTesselActionList* g = Group("G", in, out, bad);
    g->GetAction(0)->CopyTo = dir.Path() + "no-archive";
  });
  WriteFile(in + "a.txt", "a");
  Open();
  Run();
  Tick();
  Stop();
  const QTextBlock copy = Shown(QStringLiteral("\tКопия - ошибка\t"));
  ASSERT_TRUE(copy.isValid());
  EXPECT_TRUE(TLogView::ShowsFailure(copy));
  for (const QString& text :
       {QStringLiteral("\tНачало обработки файла\t"), QStringLiteral("\tКонец обработки файла\t"),
        QStringLiteral("\tSignInit:\t"), QStringLiteral("\tSignDone\t")}) {
    const QTextBlock line = Shown(text);
    ASSERT_TRUE(line.isValid()) << text.toStdString();
    EXPECT_FALSE(TLogView::ShowsFailure(line)) << text.toStdString();
  }
  EXPECT_EQ(ShownFields(), LogFields());
}

// A pass whose first file takes as long as the test likes: the window goes
// on handling events, "Стоп" takes effect after that file, nothing is lost.
TEST_F(PassingWindow, ALongPassLeavesTheWindowAliveAndStopsAfterTheFileInHand) {
  const std::string in = dir.Sub("in/");
  WriteScript([&] { Group("Long", in, out, bad); });
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) WriteFile(in + name, name);
  Open();
  std::promise<void> holding, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> files{0};
  auto* hook = new THookStep([&](const std::string&) {
    if (++files == 1) {
      holding.set_value();
      released.wait();
    }
  });
  hook->Enabled = true;
  ScriptRegistry->GetGroup(0)->AddAction(hook);
  Run();

  // The tick as the timer delivers it: it returns while the pass runs.
  QTimerEvent tick(Timer()->timerId());
  QCoreApplication::sendEvent(Timer(), &tick);
  ASSERT_EQ(holding.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_TRUE(window->PassInFlight());
  bool handled = false;
  QTimer::singleShot(0, window.get(), [&] { handled = true; });
  ASSERT_TRUE(WaitFor([&] { return handled && Status().contains(QStringLiteral("файл 1 из 3")); }))
      << Status().toStdString();
  EXPECT_TRUE(Status().contains(QStringLiteral("Проход: группа \"Long\"")));
  window->repaint();

  // A tick that falls due now starts nothing and does not wait.
  QCoreApplication::sendEvent(Timer(), &tick);
  EXPECT_EQ(files, 1);

  Stop();
  EXPECT_FALSE(Timer()->isActive());
  // The library stays open for the file in hand, and nothing can be edited yet.
  EXPECT_TRUE(window->CryptoReady());
  QApplication::processEvents();
  for (const char* name : {"actRun", "actStop", "actSave", "actLoad", "actGroupAdd", "actAdd"})
    EXPECT_FALSE(Action(name)->isEnabled()) << name;
  EXPECT_FALSE(Steps()->isEnabled());
  EXPECT_TRUE(Interval()->isEnabled());
  EXPECT_TRUE(Status().contains(QStringLiteral("Стоп: проход закончится после текущего файла.")));

  release.set_value();
  ASSERT_TRUE(WaitFor([&] { return !window->PassInFlight(); }));
  EXPECT_EQ(files, 1);
  EXPECT_EQ(ListNames(out).size(), 1u);
  EXPECT_EQ(ListNames(in).size(), 2u);
  EXPECT_TRUE(ListNames(bad).empty());
  EXPECT_TRUE(ListNames(dir.Sub("tmp/")).empty()) << "working folders are cleaned up";
  EXPECT_FALSE(window->CryptoReady());
  const std::vector<std::string> fields = LogFields();
  EXPECT_EQ(fields.back(), "SignDone\t\t" + ResultMessage(0));
  EXPECT_EQ(fields[fields.size() - 2], "CryptoDone\t\t" + ResultMessage(0));
  EXPECT_EQ(ShownFields(), fields);
  QApplication::processEvents();
  EXPECT_TRUE(Action("actRun")->isEnabled());
  EXPECT_TRUE(Steps()->isEnabled());
  EXPECT_TRUE(Status().contains(QStringLiteral("доставлено 1, в ошибки 0.  Ожидают: 2 (стоп 2).")))
      << Status().toStdString();

  // The next "Пуск" carries the rest.
  Run();
  Tick();
  Stop();
  EXPECT_EQ(ListNames(out).size(), 3u);
  EXPECT_TRUE(ListNames(in).empty());
  EXPECT_EQ(ShownFields(), LogFields());
}

TEST_F(PassingWindow, ClosingDuringAPassWaitsForTheFileInHand) {
  const std::string in = dir.Sub("in/");
  WriteScript([&] { Group("Long", in, out, bad); });
  for (const char* name : {"1.txt", "2.txt"}) WriteFile(in + name, name);
  Open();
  std::promise<void> holding;
  std::atomic<int> files{0};
  auto* hook = new THookStep([&](const std::string&) {
    if (++files == 1) {
      holding.set_value();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  hook->Enabled = true;
  ScriptRegistry->GetGroup(0)->AddAction(hook);
  Run();
  QTimerEvent tick(Timer()->timerId());
  QCoreApplication::sendEvent(Timer(), &tick);
  holding.get_future().wait();
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->PassInFlight());
  EXPECT_EQ(files, 1);
  EXPECT_EQ(ListNames(out).size(), 1u);
  EXPECT_EQ(ListNames(in).size(), 1u);
  const std::vector<std::string> fields = LogFields();
  EXPECT_EQ(fields.back(), "SignDone\t\t" + ResultMessage(0));
  EXPECT_EQ(fields[fields.size() - 3], Cp("Конец обработки файла\t\"1.txt\""));
  // The stop was the close's own: a later run is not stopped by it.
  EXPECT_FALSE(ScriptRegistry->StopRequested());
}

// Whether another process could take the lock now.
bool FreeForAnotherProcess(const std::string& settings) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    platform::RunLock lock;
    ::_exit(lock.Acquire(settings) == 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(PassingWindow, PuskIsRefusedWhileAnotherProcessRunsTheScript) {
  const std::string in = dir.Sub("in/");
  WriteScript([&] { Group("G", in, out, bad); });
  WriteFile(in + "a.txt", "a");
  Open();
  const pid_t holder = testing_support::HoldRunLockInChild(ini);
  ASSERT_GT(holder, 0);
  auto seen = std::make_shared<Seen>();
  modal::Prepare(Click(QMessageBox::Ok, seen));
  Run();
  EXPECT_TRUE(seen->modal);
  EXPECT_EQ(seen->title, QStringLiteral("Tessel scripts"));
  EXPECT_TRUE(seen->text.contains(QString::number(holder))) << seen->text.toStdString();
  EXPECT_TRUE(seen->text.startsWith(QStringLiteral("Сценарий уже выполняется")));
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_FALSE(window->CryptoReady());
  EXPECT_EQ(KeyUtilityStarts(), 0);
  EXPECT_EQ(LogFields(), std::vector<std::string>{Cp("Чтение настроек из ini-файла")});
  EXPECT_TRUE(Action("actRun")->isEnabled());
  EXPECT_TRUE(FileExists(in + "a.txt"));

  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  Run();
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_TRUE(window->CryptoReady());
  // Held while the timer runs, given up at "Стоп".
  EXPECT_FALSE(FreeForAnotherProcess(ini));
  Stop();
  EXPECT_TRUE(FreeForAnotherProcess(ini));
  // And at closing.
  Run();
  EXPECT_FALSE(FreeForAnotherProcess(ini));
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(FreeForAnotherProcess(ini));
}

}  // namespace
}  // namespace ui_test
