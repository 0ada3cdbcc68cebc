// The step editor: what it shows for a step, and the new step it hands back.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "crypto/CryptoActions.h"
#include "crypto/StepKinds.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/TButtonEdit.h"
#include "ui/TForm2.h"

namespace ui_test {
namespace {

using StepEditor = ModalGuard;

// Types the text key by key, as an operator's keyboard would.
void Typed(QWidget* field, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &release);
  }
}

// Runs the editor on step with an answer that works the open dialog.
bool Edit(TTesselAction*& step, const std::function<void(QDialog&)>& work, bool confirm = true) {
  modal::Prepare([work, confirm](QDialog& dialog) {
    work(dialog);
    Find<QPushButton>(&dialog, confirm ? "cxButton5" : "cxButton6")->click();
    return int(QDialog::Rejected);
  });
  return EditStep(step, CryptoStepKinds());
}

TEST_F(StepEditor, OpensWithTheSignPageAndEmptyControls) {
  TTesselAction* step = nullptr;
  bool checked = false;
  EXPECT_TRUE(Edit(step, [&](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Выбор одиночного действия над файлом"));
    EXPECT_EQ(d.size(), QSize(440, 178));
    auto* kinds = Find<QComboBox>(&d, "cxComboBox_action");
    EXPECT_FALSE(kinds->isEditable());
    EXPECT_EQ(kinds->count(), 6);
    EXPECT_EQ(kinds->itemText(5), QStringLiteral("Ничего не делать..."));
    EXPECT_EQ(kinds->currentIndex(), 0);
    EXPECT_EQ(Find<QStackedWidget>(&d, "Notebook1")->currentWidget()->objectName(),
              QStringLiteral("Sign"));
    EXPECT_FALSE(Find<QCheckBox>(&d, "cxCheckBox2")->isChecked());
    EXPECT_FALSE(Find<QLineEdit>(&d, "cxButtonEdit1")->isEnabled());
    EXPECT_EQ(Find<QSpinBox>(&d, "cxSpinEdit1")->value(), -1);
    EXPECT_TRUE(Find<QPushButton>(&d, "cxButton5")->isDefault());
    checked = true;
  }));
  EXPECT_TRUE(checked);
  std::unique_ptr<TTesselAction> made(step);
  auto* sign = dynamic_cast<TTesselAction_sign*>(step);
  ASSERT_NE(sign, nullptr);
  EXPECT_EQ(sign->KeyId, "");
  EXPECT_EQ(sign->CopyTo, "");
  EXPECT_FALSE(sign->Enabled);
}

TEST_F(StepEditor, TheKindListShowsItsPage) {
  TTesselAction* step = nullptr;
  EXPECT_FALSE(Edit(
      step,
      [](QDialog& d) {
        const char* pages[] = {"Sign", "CheckSign", "DelSign", "EnCrypt", "DeCrypt", "None"};
        auto* kinds = Find<QComboBox>(&d, "cxComboBox_action");
        for (int i = 5; i >= 0; --i) {
          kinds->setCurrentIndex(i);
          EXPECT_EQ(Find<QStackedWidget>(&d, "Notebook1")->currentWidget()->objectName(),
                    QString::fromLatin1(pages[i]));
        }
      },
      false));
  EXPECT_EQ(step, nullptr);
}

TEST_F(StepEditor, EachPageBuildsItsKind) {
  struct Case {
    int kind;
    std::function<void(QDialog&)> fill;
    std::function<void(TTesselAction&)> check;
  };
  const std::vector<Case> cases = {
      {kKindSign, [](QDialog& d) { Find<QLineEdit>(&d, "cxTextEdit7")->setText(" ключ "); },
       [](TTesselAction& s) {
         EXPECT_EQ(dynamic_cast<TTesselAction_sign&>(s).KeyId, Cp(" ключ "));
       }},
      {kKindCheckSign,
       [](QDialog& d) { Find<QLineEdit>(&d, "cxTextEdit2")->setText("A; \"B C\""); },
       [](TTesselAction& s) {
         EXPECT_EQ(dynamic_cast<TTesselAction_checksign&>(s).KeyList, "A; \"B C\"");
       }},
      {kKindDelSign, [](QDialog& d) { Find<QSpinBox>(&d, "cxSpinEdit1")->setValue(3); },
       [](TTesselAction& s) { EXPECT_EQ(dynamic_cast<TTesselAction_delsign&>(s).DeleteCount, 3); }},
      {kKindEncrypt,
       [](QDialog& d) {
         Find<QLineEdit>(&d, "cxTextEdit3")->setText("S");
         Find<QLineEdit>(&d, "cxTextEdit4")->setText("R1;R2");
       },
       [](TTesselAction& s) {
         EXPECT_EQ(dynamic_cast<TTesselAction_encrypt&>(s).SenderKey, "S");
         EXPECT_EQ(dynamic_cast<TTesselAction_encrypt&>(s).ReceiverKeyList, "R1;R2");
       }},
      {kKindDecrypt,
       [](QDialog& d) {
         Find<QLineEdit>(&d, "cxTextEdit_idreceiver")->setText("R");
         Find<QLineEdit>(&d, "cxTextEdit_idsender")->setText("S");
       },
       [](TTesselAction& s) {
         EXPECT_EQ(dynamic_cast<TTesselAction_decrypt&>(s).ReceiverKey, "R");
         EXPECT_EQ(dynamic_cast<TTesselAction_decrypt&>(s).SenderKey, "S");
       }},
      {kKindNone, [](QDialog&) {}, [](TTesselAction& s) { EXPECT_EQ(s.GetParamText(), ""); }},
  };
  for (const Case& c : cases) {
    TTesselAction* step = nullptr;
    ASSERT_TRUE(Edit(step, [&](QDialog& d) {
      Find<QComboBox>(&d, "cxComboBox_action")->setCurrentIndex(c.kind);
      c.fill(d);
    }));
    std::unique_ptr<TTesselAction> made(step);
    EXPECT_EQ(step->GetKind(), c.kind);
    c.check(*step);
  }
}

TEST_F(StepEditor, TheDeleteCountStaysWithinMinusOneAndHundred) {
  TTesselAction_delsign* old = new TTesselAction_delsign;
  old->DeleteCount = 500;
  TTesselAction* step = old;
  int shown = 0;
  ASSERT_TRUE(Edit(step, [&](QDialog& d) {
    auto* spin = Find<QSpinBox>(&d, "cxSpinEdit1");
    shown = spin->value();
    EXPECT_EQ(spin->minimum(), -1);
    EXPECT_EQ(spin->maximum(), 100);
  }));
  std::unique_ptr<TTesselAction> made(step);
  EXPECT_EQ(shown, 100);
  EXPECT_EQ(dynamic_cast<TTesselAction_delsign&>(*step).DeleteCount, 100);
}

TEST_F(StepEditor, ChangeOfAnEnabledStepGivesANewDisabledStep) {
  auto* old = new TTesselAction_sign;
  old->KeyId = "K";
  old->Enabled = true;
  TTesselAction* step = old;
  QString shownKey;
  ASSERT_TRUE(
      Edit(step, [&](QDialog& d) { shownKey = Find<QLineEdit>(&d, "cxTextEdit7")->text(); }));
  std::unique_ptr<TTesselAction> made(step);
  EXPECT_EQ(shownKey, QStringLiteral("K"));
  EXPECT_NE(step, nullptr);
  EXPECT_EQ(dynamic_cast<TTesselAction_sign&>(*step).KeyId, "K");
  EXPECT_FALSE(step->Enabled);
}

TEST_F(StepEditor, ACopyFolderOpensTickedAndClearingTheBoxDropsIt) {
  auto* old = new TTesselAction_none;
  old->CopyTo = Cp("/архив");
  TTesselAction* step = old;
  ASSERT_TRUE(Edit(step, [&](QDialog& d) {
    auto* box = Find<QCheckBox>(&d, "cxCheckBox2");
    auto* folder = Find<QLineEdit>(&d, "cxButtonEdit1");
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(folder->isEnabled());
    EXPECT_EQ(folder->text(), QStringLiteral("/архив"));
    EXPECT_EQ(Find<QComboBox>(&d, "cxComboBox_action")->currentIndex(), kKindNone);
    box->setChecked(false);
    // The text stays; only the step built from it loses it.
    EXPECT_FALSE(folder->isEnabled());
    EXPECT_EQ(folder->text(), QStringLiteral("/архив"));
  }));
  std::unique_ptr<TTesselAction> made(step);
  EXPECT_EQ(step->CopyTo, "");
  EXPECT_EQ(step->GetKind(), kKindNone);
}

TEST_F(StepEditor, ChangingTheKindCarriesNoKeysOver) {
  auto* old = new TTesselAction_encrypt;
  old->SenderKey = "A";
  old->ReceiverKeyList = "B";
  TTesselAction* step = old;
  ASSERT_TRUE(Edit(step, [&](QDialog& d) {
    EXPECT_EQ(Find<QLineEdit>(&d, "cxTextEdit3")->text(), QStringLiteral("A"));
    Find<QComboBox>(&d, "cxComboBox_action")->setCurrentIndex(kKindDecrypt);
    EXPECT_EQ(Find<QLineEdit>(&d, "cxTextEdit_idsender")->text(), QString());
  }));
  std::unique_ptr<TTesselAction> made(step);
  auto* dec = dynamic_cast<TTesselAction_decrypt*>(step);
  ASSERT_NE(dec, nullptr);
  EXPECT_EQ(dec->SenderKey, "");
  EXPECT_EQ(dec->ReceiverKey, "");
}

TEST_F(StepEditor, CancelEscapeAndCloseLeaveTheStepAsItWas) {
  auto old = std::make_unique<TTesselAction_checksign>();
  old->KeyList = "K";
  old->CopyTo = "/c";
  old->Enabled = true;
  const std::vector<std::function<void(QDialog&)>> closes = {
      [](QDialog& d) { Find<QPushButton>(&d, "cxButton6")->click(); },
      [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](QDialog& d) { d.close(); },
  };
  for (const auto& close : closes) {
    TTesselAction* step = old.get();
    modal::Prepare([close](QDialog& d) {
      Find<QComboBox>(&d, "cxComboBox_action")->setCurrentIndex(kKindSign);
      Find<QLineEdit>(&d, "cxTextEdit2")->setText("changed");
      close(d);
      EXPECT_FALSE(d.isVisible());
      return int(QDialog::Accepted);
    });
    EXPECT_FALSE(EditStep(step, CryptoStepKinds()));
    EXPECT_EQ(step, old.get());
  }
  EXPECT_EQ(old->KeyList, "K");
  EXPECT_EQ(old->CopyTo, "/c");
  EXPECT_TRUE(old->Enabled);
}

TEST_F(StepEditor, EnterConfirms) {
  TTesselAction* step = nullptr;
  modal::Prepare([](QDialog& d) {
    Find<QComboBox>(&d, "cxComboBox_action")->setCurrentIndex(kKindNone);
    QTest::keyClick(Find<QPushButton>(&d, "cxButton5"), Qt::Key_Return);
    return int(QDialog::Rejected);
  });
  ASSERT_TRUE(EditStep(step, CryptoStepKinds()));
  std::unique_ptr<TTesselAction> made(step);
  EXPECT_EQ(step->GetKind(), kKindNone);
}

TEST_F(StepEditor, TheCopyFolderBrowserUsesItsTitleAndTheFieldsFolder) {
  testing_support::TempDir dir;
  const std::string copies = dir.Sub(Cp("копии/"));
  const std::string chosen = dir.Sub(Cp("выбранная"));
  auto* old = new TTesselAction_none;
  old->CopyTo = copies.substr(0, copies.size() - 1);
  TTesselAction* step = old;
  auto seen = std::make_shared<Seen>();
  auto cancelled = std::make_shared<Seen>();
  QWidget* editor = nullptr;
  ASSERT_TRUE(Edit(step, [&](QDialog& d) {
    editor = &d;
    auto* field = Find<TButtonEdit>(&d, "cxButtonEdit1");
    modal::Prepare(Pick(Q(chosen), seen));
    field->Button()->click();
    EXPECT_EQ(field->text(), Q(chosen));
    // A field naming no folder opens the picker with nothing selected.
    field->setText(QStringLiteral("/nowhere/at/all"));
    modal::Prepare(CancelChooser(cancelled));
    field->Button()->click();
    EXPECT_EQ(field->text(), QStringLiteral("/nowhere/at/all"));
    field->setText(Q(chosen));
  }));
  std::unique_ptr<TTesselAction> made(step);
  EXPECT_EQ(seen->title, QStringLiteral("Выбор папки для копии файла"));
  EXPECT_EQ(seen->text, QStringLiteral("копии"));
  EXPECT_TRUE(seen->modal);
  EXPECT_EQ(seen->parent, editor);
  EXPECT_EQ(cancelled->text, QString());
  EXPECT_EQ(step->CopyTo, chosen);
}

TEST_F(StepEditor, FieldsRefuseTextThatWindows1251CannotHold) {
  TTesselAction* step = nullptr;
  ASSERT_TRUE(Edit(step, [](QDialog& d) {
    auto* key = Find<QLineEdit>(&d, "cxTextEdit7");
    Typed(key, QStringLiteral("ab漢вг"));
    EXPECT_EQ(key->text(), QStringLiteral("abвг"));
  }));
  std::unique_ptr<TTesselAction> made(step);
  EXPECT_EQ(dynamic_cast<TTesselAction_sign&>(*step).KeyId, Cp("abвг"));
}

}  // namespace
}  // namespace ui_test
