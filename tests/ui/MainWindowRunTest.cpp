// The main window's run state: "Пуск" and "Стоп" with the real library, the
// key utility, timer ticks over a real group, and closing the window.
#include <QPlainTextEdit>
#include <cerrno>
#include <filesystem>

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "tests/ui/MainWindowFixture.h"

namespace ui_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

class RunningWindow : public MainWindowTest {
 protected:
  std::string in = dir.Sub("in/");
  std::string out = dir.Sub("out/");
  std::string bad = dir.Sub("bad/");
  std::string arch = dir.Sub("arch/");
  std::string keys = dir.Sub("keys/");

  // One enabled group that carries every file of in/ to out/ through a
  // do-nothing step with a copy to arch/.
  void OneGroup() {
    WriteScript([this] {
      ScriptRegistry->PubKeysPath = keys;
      ScriptRegistry->SecKeysPath = keys;
      TTesselActionList* g = ScriptRegistry->AddGroup("Out");
      g->Enabled = true;
      g->SourceMask = in + "*";
      g->DestFolder = out;
      g->BadFolder = bad;
      TTesselAction* step = g->CreateAction(kKindNone);
      step->CopyTo = arch;
      step->Enabled = true;
    });
  }

  void Run() { Action("actRun")->trigger(); }
  void Stop() { Action("actStop")->trigger(); }

  std::vector<std::string> OpenLines() { return {"SignInit:\t\t", "CryptoInit\t\t"}; }
  // The lines "Пуск" and "Стоп" wrote, without their result texts.
  std::vector<std::string> LibraryLines() {
    std::vector<std::string> lines;
    for (const std::string& line : LogFields()) {
      const std::string head = line.substr(0, line.find('\t'));
      if (head == "SignInit:" || head == "CryptoInit" || head == "CryptoDone" || head == "SignDone")
        lines.push_back(head);
    }
    return lines;
  }
};

TEST_F(RunningWindow, StartRunsTheKeyUtilityOpensTheLibraryAndStartsTheTimer) {
  OneGroup();
  Open();
  Interval()->setValue(10);
  Run();
  EXPECT_EQ(KeyUtilityStarts(), 1);
  EXPECT_TRUE(window->CryptoReady());
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 10000);

  // Each line: the name, an empty field, the library's text for its code.
  const std::vector<std::string> fields = LogFields();
  ASSERT_GE(fields.size(), 3u);
  const std::string signInit = fields[fields.size() - 2];
  const std::string cryptoInit = fields.back();
  EXPECT_EQ(signInit, "SignInit:\t\t" + ResultMessage(0)) << Q(signInit).toStdString();
  EXPECT_EQ(cryptoInit, "CryptoInit\t\t" + ResultMessage(0)) << Q(cryptoInit).toStdString();
  EXPECT_TRUE(Find<QPlainTextEdit>(window.get(), "Memo1")
                  ->toPlainText()
                  .endsWith(QStringLiteral("\tCryptoInit\t\tНет ошибки.")));

  // Running: only "Стоп" and the interval respond.
  EXPECT_FALSE(Action("actRun")->isEnabled());
  EXPECT_TRUE(Action("actStop")->isEnabled());
  for (const char* name :
       {"actSave", "actLoad", "actGroupAdd", "actGroupDel", "actAdd", "actDel", "actChange"})
    EXPECT_FALSE(Action(name)->isEnabled()) << name;
  for (const char* name :
       {"cxButtonEdit1", "cxButtonEdit2", "cxButtonEdit3", "cxButtonEdit4", "cxButtonEdit5"})
    EXPECT_FALSE(Edit(name)->isEnabled()) << name;
  EXPECT_FALSE(Groups()->isEnabled());
  EXPECT_FALSE(Steps()->isEnabled());
  EXPECT_TRUE(Interval()->isEnabled());

  // A new interval waits for the next "Пуск" or "Стоп".
  Interval()->setValue(20);
  EXPECT_EQ(Timer()->interval(), 10000);

  Stop();
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 20000);
  EXPECT_FALSE(window->CryptoReady());
  EXPECT_EQ(LibraryLines(),
            (std::vector<std::string>{"SignInit:", "CryptoInit", "CryptoDone", "SignDone"}));
  EXPECT_EQ(LogFields().back(), "SignDone\t\t" + ResultMessage(0));
  EXPECT_TRUE(Action("actRun")->isEnabled());
  EXPECT_TRUE(Action("actGroupAdd")->isEnabled());
  EXPECT_TRUE(Edit("cxButtonEdit3")->isEnabled());
  EXPECT_TRUE(Steps()->isEnabled());
  CloseWithoutQuestion();
}

TEST_F(RunningWindow, AMissingKeyUtilityIsReportedAndTheLibraryOpensAllTheSame) {
  OneGroup();
  ScopedEnv emptyPath("PATH", dir.Sub("nothing/"));
  // Not in the current folder either.
  struct InFolder {
    std::filesystem::path old = std::filesystem::current_path();
    explicit InFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~InFolder() { std::filesystem::current_path(old); }
  } inFolder(platform::Cp1251ToUtf8(dir.Path()));
  Open();
  auto seen = std::make_shared<Seen>();
  modal::Prepare(Click(QMessageBox::Ok, seen));
  Run();
  EXPECT_EQ(seen->text, Q(platform::ErrorText(ENOENT)));
  EXPECT_EQ(seen->title, QStringLiteral("Tessel scripts"));
  EXPECT_TRUE(seen->modal);
  EXPECT_EQ(KeyUtilityStarts(), 0);
  EXPECT_EQ(LibraryLines(), (std::vector<std::string>{"SignInit:", "CryptoInit"}));
  EXPECT_TRUE(window->CryptoReady());
  EXPECT_TRUE(Timer()->isActive());
  Stop();
}

TEST_F(RunningWindow, ASecondStartAfterStopOpensEverythingAgain) {
  OneGroup();
  Open();
  Run();
  Stop();
  Run();
  EXPECT_EQ(KeyUtilityStarts(), 2);
  EXPECT_EQ(LibraryLines(), (std::vector<std::string>{"SignInit:", "CryptoInit", "CryptoDone",
                                                      "SignDone", "SignInit:", "CryptoInit"}));
  EXPECT_EQ(LogFields().back(), "CryptoInit\t\t" + ResultMessage(0));
  Stop();
}

TEST_F(RunningWindow, ATickCarriesAFileThroughTheGroup) {
  OneGroup();
  WriteFile(in + "a.txt", "payload");
  Open();
  Run();
  Tick();
  EXPECT_FALSE(FileExists(in + "a.txt"));
  EXPECT_EQ(ReadFile(out + "a.txt"), "payload");
  EXPECT_EQ(ReadFile(arch + "a.txt"), "payload");
  const std::vector<std::string> fields = LogFields();
  const auto start = std::find(fields.begin(), fields.end(), std::string(55, '*'));
  ASSERT_NE(start, fields.end());
  EXPECT_EQ(*(start + 1), "Out");
  EXPECT_EQ(fields.back(), Cp("Конец обработки файла\t\"a.txt\""));
  // The log view shows the same lines.
  EXPECT_TRUE(Find<QPlainTextEdit>(window.get(), "Memo1")
                  ->toPlainText()
                  .endsWith(QStringLiteral("\tКонец обработки файла\t\"a.txt\"")));
  Stop();
}

TEST_F(RunningWindow, AStopAmongTheTicksWaitingEventsCancelsItsPass) {
  OneGroup();
  WriteFile(in + "a.txt", "payload");
  Open();
  Run();
  // "Стоп" waits in the queue when the tick begins.
  QMetaObject::invokeMethod(Action("actStop"), &QAction::trigger, Qt::QueuedConnection);
  Tick();
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_FALSE(window->CryptoReady());
  EXPECT_TRUE(FileExists(in + "a.txt"));
  EXPECT_FALSE(FileExists(out + "a.txt"));
  EXPECT_EQ(LogFields().back(), "SignDone\t\t" + ResultMessage(0));

  // The next run's tick carries the file.
  Run();
  Tick();
  EXPECT_TRUE(FileExists(out + "a.txt"));
  Stop();
}

TEST_F(RunningWindow, ATickReachedWhileATickLetsEventsThroughRunsNoPass) {
  OneGroup();
  WriteFile(in + "a.txt", "payload");
  Open();
  Run();
  bool innerTickRan = false;
  bool fileStillWaiting = false;
  QTimer::singleShot(0, window.get(), [&] {
    Tick();
    innerTickRan = true;
    fileStillWaiting = FileExists(in + "a.txt");
  });
  Tick();
  EXPECT_TRUE(innerTickRan);
  EXPECT_TRUE(fileStillWaiting);
  EXPECT_TRUE(FileExists(out + "a.txt"));
  EXPECT_EQ(LogLinesStartingWith(std::string(55, '*')), 1);
  Stop();
}

TEST_F(RunningWindow, TheRealTimerRunsPassesUntilStop) {
  OneGroup();
  WriteFile(in + "a.txt", "1");
  Open();
  Run();
  ASSERT_TRUE(WaitFor([&] { return FileExists(out + "a.txt"); }));
  WriteFile(in + "b.txt", "2");
  ASSERT_TRUE(WaitFor([&] { return FileExists(out + "b.txt"); }));
  Stop();
  WriteFile(in + "c.txt", "3");
  QApplication::processEvents();
  EXPECT_TRUE(FileExists(in + "c.txt"));
}

using ClosingTheWindow = RunningWindow;

TEST_F(ClosingTheWindow, WithSavedSettingsAsksNothing) {
  OneGroup();
  const std::string before = ReadFile(ini);
  Open();
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(ReadFile(ini), before);
}

TEST_F(ClosingTheWindow, CancelKeepsTheWindowOpen) {
  OneGroup();
  const std::string before = ReadFile(ini);
  Open();
  Interval()->setValue(9);
  auto seen = std::make_shared<Seen>();
  modal::Prepare(Click(QMessageBox::Cancel, seen));
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(seen->title, QStringLiteral("Confirm"));
  EXPECT_EQ(seen->text, QStringLiteral("Настройки не сохранены!. Сохранить?"));
  EXPECT_TRUE(seen->modal);
  EXPECT_EQ(ReadFile(ini), before);
  EXPECT_FALSE(window->Saved());
  CloseWithoutQuestion();
}

TEST_F(ClosingTheWindow, NoClosesWithoutTouchingTheSettingsFile) {
  OneGroup();
  const std::string before = ReadFile(ini);
  Open();
  Interval()->setValue(9);
  modal::Prepare(Click(QMessageBox::No));
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(ReadFile(ini), before);
}

TEST_F(ClosingTheWindow, YesSavesAndCloses) {
  OneGroup();
  Open();
  Interval()->setValue(9);
  modal::Prepare(Click(QMessageBox::Yes));
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_NE(ReadFile(ini).find("INTERVAL=9\r\n"), std::string::npos);
  EXPECT_EQ(LogFields().back(), Cp("Сохранение настроек в ini-файл"));
}

TEST_F(ClosingTheWindow, YesWithASaveThatFailsKeepsTheWindowAndTheOldFile) {
  OneGroup();
  const std::string before = ReadFile(ini);
  Open();
  Interval()->setValue(9);
  {
    testing_support::ScopedFault fault(
        [](std::string_view op, const std::string&) { return op == "write" ? ENOSPC : 0; });
    modal::Prepare(Click(QMessageBox::Yes));
    EXPECT_FALSE(window->close());
  }
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->Saved());
  EXPECT_TRUE(Action("actSave")->isEnabled());
  EXPECT_EQ(ReadFile(ini), before);
  EXPECT_EQ(LogFields().back().rfind(Cp("Сохранение настроек - ошибка"), 0), 0u);
  CloseWithoutQuestion();
}

TEST_F(ClosingTheWindow, YesWhileTheTimerRunsSavesClosesTheLibraryAndEndsTheTicks) {
  OneGroup();
  Open();
  Run();
  Interval()->setValue(9);
  modal::Prepare(Click(QMessageBox::Yes));
  EXPECT_TRUE(window->close());
  EXPECT_NE(ReadFile(ini).find("INTERVAL=9\r\n"), std::string::npos);
  EXPECT_EQ(LibraryLines(),
            (std::vector<std::string>{"SignInit:", "CryptoInit", "CryptoDone", "SignDone"}));
  EXPECT_FALSE(window->CryptoReady());
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(ClosingTheWindow, TicksGoOnWhileTheQuestionIsOpen) {
  OneGroup();
  Open();
  Run();
  Interval()->setValue(9);
  WriteFile(in + "a.txt", "x");
  bool carried = false;
  modal::Prepare([&](QDialog& dialog) {
    // The pass runs while the box waits for its answer.
    Tick();
    carried = FileExists(out + "a.txt");
    qobject_cast<QMessageBox*>(&dialog)->button(QMessageBox::No)->click();
    return int(QDialog::Rejected);
  });
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(carried);
}

TEST_F(ClosingTheWindow, AfterStopTheLibraryIsClosedOnlyOnce) {
  OneGroup();
  Open();
  Run();
  Stop();
  EXPECT_TRUE(window->close());
  EXPECT_EQ(LibraryLines(),
            (std::vector<std::string>{"SignInit:", "CryptoInit", "CryptoDone", "SignDone"}));
}

TEST_F(ClosingTheWindow, WhileRunningWithSavedSettingsClosesTheLibrary) {
  OneGroup();
  Open();
  Run();
  EXPECT_TRUE(window->close());
  EXPECT_EQ(LibraryLines(),
            (std::vector<std::string>{"SignInit:", "CryptoInit", "CryptoDone", "SignDone"}));
  EXPECT_FALSE(Timer()->isActive());
}

}  // namespace
}  // namespace ui_test

#ifdef TESSEL_MARVIK
namespace ui_test {
namespace {

// The road of a file between two parties with real keys: the bank signs and
// encrypts (copy to its archive), the client decrypts, checks and unsigns.
class ExchangeRoad : public MainWindowTest {
 protected:
  std::string secret = dir.Sub("keys/secret/");
  std::string pub = dir.Sub("keys/public/");
  std::string outbox = dir.Sub(Cp("банк/исходящие/"));
  std::string archive = dir.Sub(Cp("банк/архив/"));
  std::string inbox = dir.Sub(Cp("клиент/входящие/"));
  std::string received = dir.Sub(Cp("клиент/полученные/"));
  std::string bad = dir.Sub("bad/");

  void SetUp() override {
    MainWindowTest::SetUp();
    for (const char* id : {"BANK", "CLIENT"}) {
      const std::string command = std::string("'") + TESSEL_MARVIK + "' create " + id + " '" +
                                  platform::Cp1251ToUtf8(secret) + "' '" +
                                  platform::Cp1251ToUtf8(pub) + "' >/dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    WriteScript([this] {
      TTesselActionList* out =
          KeyedGroup(secret, pub, Cp("Исходящие"), outbox + "*.txt", inbox, bad);
      auto* sign = static_cast<TTesselAction_sign*>(out->CreateAction(kKindSign));
      sign->KeyId = "BANK";
      auto* enc = static_cast<TTesselAction_encrypt*>(out->CreateAction(kKindEncrypt));
      enc->SenderKey = "BANK";
      enc->ReceiverKeyList = "CLIENT";
      enc->CopyTo = archive;
      TTesselActionList* in = KeyedGroup(secret, pub, Cp("Входящие"), inbox + "*", received, bad);
      auto* dec = static_cast<TTesselAction_decrypt*>(in->CreateAction(kKindDecrypt));
      dec->ReceiverKey = "CLIENT";
      dec->SenderKey = "BANK";
      auto* check = static_cast<TTesselAction_checksign*>(in->CreateAction(kKindCheckSign));
      check->KeyList = "BANK";
      auto* del = static_cast<TTesselAction_delsign*>(in->CreateAction(kKindDelSign));
      del->DeleteCount = -1;
      for (TTesselActionList* g : {out, in})
        for (int i = 0; i < g->ActionCount(); ++i) g->GetAction(i)->Enabled = true;
    });
  }
};

TEST_F(ExchangeRoad, OneTickCarriesAFileFromTheBanksOutboxToTheClient) {
  const std::string payload = Cp("Платёжное поручение № 1\r\n");
  const std::string name = Cp("платёж.txt");
  WriteFile(outbox + name, payload);
  Open();
  Action("actRun")->trigger();
  EXPECT_EQ(LogFields().back(), "CryptoInit\t\t" + ResultMessage(0));
  Tick();
  Action("actStop")->trigger();

  EXPECT_FALSE(FileExists(outbox + name));
  EXPECT_FALSE(FileExists(inbox + name));
  EXPECT_EQ(ReadFile(received + name), payload);
  ASSERT_TRUE(FileExists(archive + name));
  EXPECT_EQ(ReadFile(archive + name).find(payload), std::string::npos) << "the copy is encrypted";
  EXPECT_EQ(testing_support::ListNames(bad), std::vector<std::string>{});

  const std::vector<std::string> fields = LogFields();
  for (const std::string& line :
       {Cp("Подписать\tНет ошибки."), Cp("Шифровать\tНет ошибки."), Cp("Расшифровать\tНет ошибки."),
        Cp("Проверить подпись\tКлюч BANK : ЭЦП Верна"), Cp("Удалить подпись\tНет ошибки."),
        Cp("Копия - успешно\t") + archive + name})
    EXPECT_NE(std::find(fields.begin(), fields.end(), line), fields.end()) << Q(line).toStdString();
}

}  // namespace
}  // namespace ui_test
#endif
