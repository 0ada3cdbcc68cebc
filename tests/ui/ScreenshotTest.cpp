// Saves pictures of the main window with a loaded script and of the step
// editor on each page into the build folder, for a person to look at.
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTreeWidget>

#include "crypto/CryptoActions.h"
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
  EXPECT_FALSE(EditStep(step));
  EXPECT_EQ(step, old);
  delete old;
  ASSERT_EQ(saved.size(), 6u);
  for (const QString& path : saved) EXPECT_EQ(QImage(path).size(), QSize(440, 178));
}

}  // namespace
}  // namespace ui_test
