// Saves pictures of the main window (with a loaded script, after a pass with
// failures, during a long pass) and of the step editor on each page into the
// build folder, for a person to look at.
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTreeWidget>
#include <atomic>
#include <future>

#include "crypto/CryptoActions.h"
#include "crypto/StepKinds.h"
#include "tests/engine/FakeStep.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/TForm2.h"

#ifndef TESSEL_SCREENSHOT_DIR
#error "TESSEL_SCREENSHOT_DIR names the folder for the pictures"
#endif

namespace ui_test {
namespace {

QString Picture(const char* name) {
  QDir().mkpath(QStringLiteral(TESSEL_SCREENSHOT_DIR));
  return QStringLiteral(TESSEL_SCREENSHOT_DIR "/") + QString::fromLatin1(name);
}

bool SavedPicture(QWidget& widget, const QString& path) {
  const QPixmap picture = widget.grab();
  return !picture.isNull() && picture.save(path, "PNG") && !QImage(path).isNull();
}

using Screenshots = MainWindowTest;

TEST_F(Screenshots, MainWindowWithALoadedScript) {
  WriteScript(
      [] {
        ScriptRegistry->PubKeysPath = Cp("/srv/обмен/ключи/открытые");
        ScriptRegistry->SecKeysPath = Cp("/srv/обмен/ключи/секретные");
        TTesselActionList* out = ScriptRegistry->AddGroup(Cp("Исходящие"));
        out->Enabled = true;
        out->SourceMask = Cp("/srv/обмен/исходящие/pay####.txt");
        out->DestFolder = Cp("/srv/обмен/отправленные");
        out->BadFolder = Cp("/srv/обмен/ошибки");
        auto* sign = static_cast<TTesselAction_sign*>(out->CreateAction(kKindSign));
        sign->KeyId = "BANK01";
        sign->Enabled = true;
        auto* enc = static_cast<TTesselAction_encrypt*>(out->CreateAction(kKindEncrypt));
        enc->SenderKey = "BANK01";
        enc->ReceiverKeyList = "CLIENT7;AUDIT";
        enc->CopyTo = Cp("/srv/обмен/архив");
        enc->Enabled = true;
        TTesselActionList* in = ScriptRegistry->AddGroup(Cp("Входящие"));
        in->CreateAction(kKindDecrypt);
        ScriptRegistry->AddGroup(Cp("Без названия 1"));
      },
      10);
  Open();
  WriteLog({Cp("Начало обработки файла"), "\"pay0001.txt\""});
  Steps()->topLevelItem(1)->setSelected(true);
  const QString path = Picture("main-window.png");
  ASSERT_TRUE(SavedPicture(*window, path)) << path.toStdString();
  EXPECT_EQ(QImage(path).size(), window->size());
  CloseWithoutQuestion();
}

// After a pass whose copy folder is missing and whose group sends a file to
// the bad-files folder: the failure lines in their colour, the status line
// with the counts since "Пуск", the group with a missing source folder marked.
TEST_F(Screenshots, MainWindowAfterAPassWithFailures) {
  const std::string in = dir.Sub(Cp("обмен/исходящие/"));
  const std::string out = dir.Sub(Cp("обмен/отправленные/"));
  const std::string bad = dir.Sub(Cp("обмен/ошибки/"));
  WriteScript(
      [&] {
        ScriptRegistry->PubKeysPath = ScriptRegistry->SecKeysPath = dir.Sub("keys/");
        TTesselActionList* reports = ScriptRegistry->AddGroup(Cp("Отчёты"));
        reports->Enabled = true;
        reports->SourceMask = in + "*.rep";
        reports->DestFolder = dir.Path() + "nowhere";
        reports->BadFolder = bad;
        reports->CreateAction(kKindNone)->Enabled = true;
        TTesselActionList* outgoing = ScriptRegistry->AddGroup(Cp("Исходящие"));
        outgoing->Enabled = true;
        outgoing->SourceMask = in + "*.txt";
        outgoing->DestFolder = out;
        outgoing->BadFolder = bad;
        TTesselAction* step = outgoing->CreateAction(kKindNone);
        step->CopyTo = Cp("/srv/обмен/архив");  // not there
        step->Enabled = true;
        TTesselActionList* incoming = ScriptRegistry->AddGroup(Cp("Входящие"));
        incoming->Enabled = true;
        incoming->SourceMask = Cp("/srv/обмен/входящие/*");
      },
      10);
  testing_support::WriteFile(in + "pay0001.txt", "1");
  testing_support::WriteFile(in + "day.rep", "2");
  Open();
  Action("actRun")->trigger();
  Tick();
  const QString path = Picture("main-window-after-pass.png");
  ASSERT_TRUE(SavedPicture(*window, path)) << path.toStdString();
  EXPECT_EQ(QImage(path).size(), window->size());
  Action("actStop")->trigger();
  CloseWithoutQuestion();
}

// During a long first file, after "Стоп": the status line says the pass ends
// after the file in hand; before it, which file of how many is in hand.
TEST_F(Screenshots, MainWindowDuringALongPass) {
  const std::string in = dir.Sub(Cp("обмен/исходящие/"));
  WriteScript([&] {
    ScriptRegistry->PubKeysPath = ScriptRegistry->SecKeysPath = dir.Sub("keys/");
    TTesselActionList* g = ScriptRegistry->AddGroup(Cp("Исходящие"));
    g->Enabled = true;
    g->SourceMask = in + "*";
    g->DestFolder = dir.Sub("out/");
    g->BadFolder = dir.Sub("bad/");
  });
  for (const char* name : {"big1.dat", "big2.dat", "big3.dat"})
    testing_support::WriteFile(in + name, name);
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
  Groups()->clearSelection();
  SelectGroup(0);  // the list shows the step
  Action("actRun")->trigger();
  QTimerEvent tick(Timer()->timerId());
  QCoreApplication::sendEvent(Timer(), &tick);
  holding.get_future().wait();
  auto* status = Find<QLabel>(window.get(), "StatusLine");
  ASSERT_TRUE(WaitFor([&] { return status->text().contains(QStringLiteral("файл 1 из 3")); }));
  const QString during = Picture("main-window-during-pass.png");
  EXPECT_TRUE(SavedPicture(*window, during)) << during.toStdString();
  Action("actStop")->trigger();
  QApplication::processEvents();
  const QString stopping = Picture("main-window-stopping.png");
  EXPECT_TRUE(SavedPicture(*window, stopping)) << stopping.toStdString();
  release.set_value();
  ASSERT_TRUE(WaitFor([&] { return !window->PassInFlight(); }));
  CloseWithoutQuestion();
}

TEST_F(Screenshots, StepEditorOnEachPage) {
  auto* old = new TTesselAction_encrypt;
  old->SenderKey = "BANK01";
  old->ReceiverKeyList = "CLIENT7;AUDIT";
  old->CopyTo = Cp("/srv/обмен/архив");
  TTesselAction* step = old;
  std::vector<QString> saved;
  modal::Prepare([&saved](QDialog& dialog) {
    const char* names[] = {"step-editor-0-sign.png",    "step-editor-1-checksign.png",
                           "step-editor-2-delsign.png", "step-editor-3-encrypt.png",
                           "step-editor-4-decrypt.png", "step-editor-5-none.png"};
    auto* kinds = Find<QComboBox>(&dialog, "cxComboBox_action");
    for (int page = 0; page < 6; ++page) {
      kinds->setCurrentIndex(page);
      const QString path = Picture(names[page]);
      if (SavedPicture(dialog, path)) saved.push_back(path);
    }
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(EditStep(step, CryptoStepKinds()));
  EXPECT_EQ(step, old);
  delete old;
  ASSERT_EQ(saved.size(), 6u);
  for (const QString& path : saved) EXPECT_EQ(QImage(path).size(), QSize(440, 178));
}

}  // namespace
}  // namespace ui_test
