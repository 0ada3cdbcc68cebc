// Qt's own texts speak the window's language: the standard buttons of the
// close question, of the name box and of the choosers.
#include <QLabel>
#include <QPushButton>

#include "tests/ui/MainWindowFixture.h"

namespace ui_test {
namespace {

// The button texts without their keyboard marks.
QStringList ButtonTexts(const QWidget& dialog) {
  QStringList texts;
  for (const QPushButton* button : dialog.findChildren<QPushButton*>())
    if (button->isVisibleTo(&dialog)) texts << button->text().remove(QLatin1Char('&'));
  texts.sort();
  return texts;
}

using QtTexts = MainWindowTest;

TEST_F(QtTexts, TheCloseQuestionAsksWithRussianButtons) {
  Open();
  Interval()->setValue(9);
  QStringList buttons;
  modal::Prepare([&](QDialog& dialog) {
    buttons = ButtonTexts(dialog);
    qobject_cast<QMessageBox*>(&dialog)->button(QMessageBox::Cancel)->click();
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(window->close());
  EXPECT_EQ(buttons, (QStringList{"Да", "Нет", "Отмена"}));
  CloseWithoutQuestion();
}

TEST_F(QtTexts, TheNameBoxAndTheChoosersToo) {
  WriteScript([] { ScriptRegistry->AddGroup("G"); });
  Open();
  QStringList nameBox, folderPicker, fileChooser;
  QStringList labels;
  modal::Prepare([&](QDialog& dialog) {
    nameBox = ButtonTexts(dialog);
    return int(QDialog::Rejected);
  });
  Action("actGroupAdd")->trigger();
  modal::Prepare([&](QDialog& dialog) {
    folderPicker = ButtonTexts(dialog);
    return int(QDialog::Rejected);
  });
  Edit("cxButtonEdit4")->Button()->click();
  modal::Prepare([&](QDialog& dialog) {
    fileChooser = ButtonTexts(dialog);
    for (const QLabel* label : dialog.findChildren<QLabel*>())
      if (label->isVisibleTo(&dialog)) labels << label->text();
    return int(QDialog::Rejected);
  });
  Edit("cxButtonEdit3")->Button()->click();
  EXPECT_TRUE(nameBox.contains(QStringLiteral("Отмена"))) << nameBox.join(",").toStdString();
  EXPECT_EQ(folderPicker, (QStringList{"Выбрать", "Отмена"}));
  EXPECT_EQ(fileChooser, (QStringList{"Открыть", "Отмена"}));
  EXPECT_TRUE(labels.contains(QStringLiteral("Перейти к:"))) << labels.join(",").toStdString();
}

}  // namespace
}  // namespace ui_test
