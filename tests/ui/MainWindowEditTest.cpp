// The main window while the timer is off: showing the script, the enable
// rules, the unsaved-settings rules and every editing command.
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <filesystem>

#include "crypto/CryptoActions.h"
#include "platform/Cp1251.h"
#include "tests/ui/MainWindowFixture.h"

namespace ui_test {
namespace {

// Two groups: Исходящие (enabled; sign enabled, encrypt disabled with a copy
// folder) and Входящие (disabled, no steps).
void TwoGroups() {
  ScriptRegistry->PubKeysPath = Cp("/ключи/открытые");
  ScriptRegistry->SecKeysPath = "/keys/secret";
  TTesselActionList* out = ScriptRegistry->AddGroup(Cp("Исходящие"));
  out->Enabled = true;
  out->SourceMask = "/in/*.txt";
  out->DestFolder = "/out";
  out->BadFolder = "/bad";
  auto* sign = static_cast<TTesselAction_sign*>(out->CreateAction(kKindSign));
  sign->KeyId = "ID1";
  sign->Enabled = true;
  auto* enc = static_cast<TTesselAction_encrypt*>(out->CreateAction(kKindEncrypt));
  enc->SenderKey = "ID1";
  enc->ReceiverKeyList = "ID2;ID3";
  enc->CopyTo = "/arch";
  ScriptRegistry->AddGroup(Cp("Входящие"));
}

// One group with four do-nothing steps, told apart by their copy folders /1 to /4.
void FourSteps() {
  TTesselActionList* g = ScriptRegistry->AddGroup("G");
  for (const char* copy : {"/1", "/2", "/3", "/4"}) {
    TTesselAction* step = g->CreateAction(kKindNone);
    step->CopyTo = copy;
    step->Enabled = true;
  }
}

using MainWindowShows = MainWindowTest;

TEST_F(MainWindowShows, TheLoadedScriptWithNothingUnsaved) {
  WriteScript(TwoGroups, 7);
  Open();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessel scripts"));
  EXPECT_EQ(LogFields(), std::vector<std::string>{Cp("Чтение настроек из ini-файла")});
  EXPECT_TRUE(Find<QPlainTextEdit>(window.get(), "Memo1")
                  ->toPlainText()
                  .endsWith(QStringLiteral("\tЧтение настроек из ini-файла")));
  EXPECT_EQ(Edit("cxButtonEdit1")->text(), QStringLiteral("/ключи/открытые"));
  EXPECT_EQ(Edit("cxButtonEdit2")->text(), QStringLiteral("/keys/secret"));
  EXPECT_EQ(Interval()->value(), 7);

  ASSERT_EQ(Groups()->count(), 2);
  EXPECT_EQ(Groups()->item(0)->text(), QStringLiteral("Исходящие"));
  EXPECT_EQ(Groups()->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(Groups()->item(1)->text(), QStringLiteral("Входящие"));
  EXPECT_EQ(Groups()->item(1)->checkState(), Qt::Unchecked);
  ASSERT_EQ(Groups()->selectedItems().size(), 1);
  EXPECT_EQ(Groups()->row(Groups()->selectedItems().first()), 0);

  EXPECT_EQ(Edit("cxButtonEdit3")->text(), QStringLiteral("/in/*.txt"));
  EXPECT_EQ(Edit("cxButtonEdit4")->text(), QStringLiteral("/out"));
  EXPECT_EQ(Edit("cxButtonEdit5")->text(), QStringLiteral("/bad"));
  EXPECT_EQ(StepColumn(0), (std::vector<QString>{"1", "2"}));
  EXPECT_EQ(StepColumn(1), (std::vector<QString>{"Подписать", "Шифровать"}));
  EXPECT_EQ(StepColumn(2), (std::vector<QString>{"Ключ: ID1", "Ключ: ID1 для ID2;ID3"}));
  EXPECT_EQ(StepColumn(3), (std::vector<QString>{"", "/arch"}));
  EXPECT_EQ(Steps()->topLevelItem(0)->checkState(0), Qt::Checked);
  EXPECT_EQ(Steps()->topLevelItem(1)->checkState(0), Qt::Unchecked);

  // Filling the lists changed no step and left the settings saved.
  TTesselActionList* out = ScriptRegistry->GetGroup(0);
  EXPECT_TRUE(out->GetAction(0)->Enabled);
  EXPECT_FALSE(out->GetAction(1)->Enabled);
  EXPECT_TRUE(window->Saved());
  EXPECT_FALSE(Action("actSave")->isEnabled());
}

TEST_F(MainWindowShows, AnEmptyScriptForAMissingSettingsFile) {
  Open();
  EXPECT_EQ(Groups()->count(), 0);
  EXPECT_EQ(Steps()->topLevelItemCount(), 0);
  EXPECT_EQ(Interval()->value(), 3);
  EXPECT_EQ(Edit("cxButtonEdit3")->text(), QString());
  EXPECT_TRUE(window->Saved());
}

TEST_F(MainWindowShows, TheSelectedGroupsStepsAndFilledRowsNeverChangeSteps) {
  WriteScript(TwoGroups);
  Open();
  SelectGroup(1);
  EXPECT_EQ(Steps()->topLevelItemCount(), 0);
  EXPECT_EQ(Edit("cxButtonEdit3")->text(), QString());
  SelectGroup(0);
  EXPECT_EQ(Steps()->topLevelItemCount(), 2);
  EXPECT_TRUE(ScriptRegistry->GetGroup(0)->GetAction(0)->Enabled);
  EXPECT_FALSE(ScriptRegistry->GetGroup(0)->GetAction(1)->Enabled);
  EXPECT_TRUE(window->Saved());
}

TEST_F(MainWindowShows, AStoredIntervalBelowTheMinimumAsTheMinimum) {
  WriteScript([] {}, 1);
  Open();
  EXPECT_EQ(Interval()->value(), 3);
}

// "Восстановить" replaces the script while the lists still show the old one:
// nothing may reach the old lists' rows on the way, and the new script shows.
TEST_F(MainWindowShows, RestoreOfAShorterScriptWithAnotherInterval) {
  WriteScript(TwoGroups, 3);
  Open();
  SelectGroup(1);
  WriteScript([] { ScriptRegistry->AddGroup("G"); }, 9);
  Action("actLoad")->trigger();
  EXPECT_EQ(LogFields(), (std::vector<std::string>{Cp("Чтение настроек из ini-файла"),
                                                   Cp("Чтение настроек из ini-файла")}));
  EXPECT_EQ(Interval()->value(), 9);
  ASSERT_EQ(Groups()->count(), 1);
  EXPECT_EQ(Groups()->item(0)->text(), QStringLiteral("G"));
  EXPECT_TRUE(Groups()->item(0)->isSelected());
  EXPECT_TRUE(window->Saved());
}

using EnableRules = MainWindowTest;

TEST_F(EnableRules, FollowTheSelectedGroupAndSteps) {
  WriteScript(TwoGroups);
  Open();
  Groups()->clearSelection();
  QApplication::processEvents();
  EXPECT_TRUE(Action("actRun")->isEnabled());
  EXPECT_FALSE(Action("actStop")->isEnabled());
  EXPECT_TRUE(Action("actLoad")->isEnabled());
  EXPECT_TRUE(Action("actGroupAdd")->isEnabled());
  EXPECT_FALSE(Action("actGroupDel")->isEnabled());
  EXPECT_FALSE(Action("actAdd")->isEnabled());
  EXPECT_FALSE(Action("actDel")->isEnabled());
  EXPECT_FALSE(Action("actChange")->isEnabled());

  SelectGroup(0);
  EXPECT_TRUE(Action("actGroupDel")->isEnabled());
  EXPECT_TRUE(Action("actAdd")->isEnabled());
  EXPECT_FALSE(Action("actDel")->isEnabled());
  EXPECT_FALSE(Action("actChange")->isEnabled());

  SelectSteps({1});
  EXPECT_TRUE(Action("actDel")->isEnabled());
  EXPECT_TRUE(Action("actChange")->isEnabled());
  SelectSteps({});
  EXPECT_FALSE(Action("actDel")->isEnabled());
}

using UnsavedSettings = MainWindowTest;

TEST_F(UnsavedSettings, AGroupCheckBoxAloneLeavesThemSavedButSetsTheGroup) {
  WriteScript(TwoGroups);
  Open();
  Groups()->item(1)->setCheckState(Qt::Checked);
  EXPECT_TRUE(ScriptRegistry->GetGroup(1)->Enabled);
  Groups()->item(0)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(ScriptRegistry->GetGroup(0)->Enabled);
  EXPECT_TRUE(window->Saved());
  EXPECT_FALSE(Action("actSave")->isEnabled());
}

TEST_F(UnsavedSettings, AStepCheckBoxMarksThemAndSetsTheStep) {
  WriteScript(TwoGroups);
  Open();
  Steps()->topLevelItem(1)->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(ScriptRegistry->GetGroup(0)->GetAction(1)->Enabled);
  EXPECT_FALSE(window->Saved());
  EXPECT_TRUE(Action("actSave")->isEnabled());
}

TEST_F(UnsavedSettings, SelectingAStepRowMarksThemWithoutChangingTheStep) {
  WriteScript(TwoGroups);
  Open();
  SelectSteps({0});
  EXPECT_FALSE(window->Saved());
  EXPECT_TRUE(Action("actSave")->isEnabled());
  EXPECT_TRUE(ScriptRegistry->GetGroup(0)->GetAction(0)->Enabled);
  EXPECT_FALSE(ScriptRegistry->GetGroup(0)->GetAction(1)->Enabled);
}

TEST_F(UnsavedSettings, FieldsAndIntervalMarkThemAndReachTheModel) {
  WriteScript(TwoGroups);
  Open();
  Edit("cxButtonEdit2")->setText(QStringLiteral("/секретные"));
  EXPECT_EQ(ScriptRegistry->SecKeysPath, Cp("/секретные"));
  EXPECT_EQ(ScriptRegistry->PubKeysPath, Cp("/ключи/открытые"));
  EXPECT_FALSE(window->Saved());

  modal::Prepare(Click(QMessageBox::Yes));  // the edits are thrown away
  Action("actLoad")->trigger();
  EXPECT_TRUE(window->Saved());
  EXPECT_EQ(ScriptRegistry->SecKeysPath, "/keys/secret");
  Edit("cxButtonEdit3")->setText(QStringLiteral("/elsewhere/*"));
  Edit("cxButtonEdit4")->setText(QStringLiteral("/d"));
  Edit("cxButtonEdit5")->setText(QStringLiteral("/b"));
  TTesselActionList* out = ScriptRegistry->GetGroup(0);
  EXPECT_EQ(out->SourceMask, "/elsewhere/*");
  EXPECT_EQ(out->DestFolder, "/d");
  EXPECT_EQ(out->BadFolder, "/b");
  EXPECT_FALSE(window->Saved());

  modal::Prepare(Click(QMessageBox::Yes));
  Action("actLoad")->trigger();
  Interval()->setValue(11);
  EXPECT_FALSE(window->Saved());
}

TEST_F(UnsavedSettings, TheSettleTimeShowsTheGroupsMarksThemAndIsSaved) {
  WriteScript([] {
    TwoGroups();
    ScriptRegistry->GetGroup(1)->SettleSeconds = 45;
  });
  Open();
  auto* settle = Find<QSpinBox>(window.get(), "cxSpinEditSettle");
  EXPECT_EQ(settle->value(), 0);
  SelectGroup(1);
  EXPECT_EQ(settle->value(), 45);
  EXPECT_TRUE(window->Saved());

  settle->setValue(120);
  EXPECT_EQ(ScriptRegistry->GetGroup(1)->SettleSeconds, 120);
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->SettleSeconds, 0);
  EXPECT_FALSE(window->Saved());
  EXPECT_TRUE(Action("actSave")->isEnabled());
  Action("actSave")->trigger();
  EXPECT_NE(testing_support::ReadFile(ini).find("SETTLE_TIME=120\r\n"), std::string::npos);

  // Without a group the field changes nothing.
  Groups()->clearSelection();
  QApplication::processEvents();
  settle->setValue(7);
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->SettleSeconds, 0);
  EXPECT_EQ(ScriptRegistry->GetGroup(1)->SettleSeconds, 120);
  EXPECT_TRUE(window->Saved());
}

TEST_F(UnsavedSettings, TheDuplicateGuardShowsTheGroupsAndIsSavedOnlyWhereSet) {
  WriteScript([] {
    TwoGroups();
    ScriptRegistry->GetGroup(1)->DuplicateDays = 30;
  });
  Open();
  auto* days = Find<QSpinBox>(window.get(), "cxSpinEditDuplicate");
  EXPECT_EQ(days->value(), 0);
  SelectGroup(1);
  EXPECT_EQ(days->value(), 30);
  EXPECT_TRUE(window->Saved());

  days->setValue(7);
  EXPECT_EQ(ScriptRegistry->GetGroup(1)->DuplicateDays, 7);
  EXPECT_FALSE(window->Saved());
  Action("actSave")->trigger();
  const std::string saved = testing_support::ReadFile(ini);
  EXPECT_NE(saved.find("DUPLICATE_DAYS=7\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("DUPLICATE_DAYS"), saved.rfind("DUPLICATE_DAYS"));  // one group only
}

TEST_F(UnsavedSettings, GroupFieldsWithoutAGroupChangeNothing) {
  WriteScript(TwoGroups);
  Open();
  Groups()->clearSelection();
  QApplication::processEvents();
  Edit("cxButtonEdit3")->setText(QStringLiteral("/x/*"));
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->SourceMask, "/in/*.txt");
  EXPECT_EQ(ScriptRegistry->GetGroup(1)->SourceMask, "");
  EXPECT_TRUE(window->Saved());
}

TEST_F(UnsavedSettings, SaveWritesTheScriptAndTheInterval) {
  WriteScript(TwoGroups);
  Open();
  Interval()->setValue(10);
  Edit("cxButtonEdit4")->setText(QStringLiteral("/новая"));
  Action("actSave")->trigger();
  EXPECT_TRUE(window->Saved());
  EXPECT_FALSE(Action("actSave")->isEnabled());
  EXPECT_EQ(LogFields().back(), Cp("Сохранение настроек в ini-файл"));
  const std::string saved = testing_support::ReadFile(ini);
  EXPECT_NE(saved.find("INTERVAL=10\r\n[LIST]"), std::string::npos) << saved;
  EXPECT_NE(saved.find(Cp("DEST_FOLDER=/новая\r\n")), std::string::npos);
}

using GroupCommands = MainWindowTest;

TEST_F(GroupCommands, TheNameBoxProposesTheFirstFreeName) {
  WriteScript([] {
    ScriptRegistry->AddGroup(Cp("Без названия 1"));
    ScriptRegistry->AddGroup(Cp("Без названия 3"));
  });
  Open();
  auto seen = std::make_shared<Seen>();
  modal::Prepare(CancelInput(seen));
  Action("actGroupAdd")->trigger();
  EXPECT_EQ(seen->title, QStringLiteral("Название группы действий"));
  EXPECT_EQ(seen->text, QStringLiteral("Без названия 2"));
  EXPECT_TRUE(seen->modal);
  EXPECT_EQ(ScriptRegistry->GroupCount(), 2);
  EXPECT_TRUE(window->Saved());
}

TEST_F(GroupCommands, TheNameBoxIsWideEnoughForItsWholeCaption) {
  Open();
  int width = 0;
  QFont font;
  modal::Prepare([&](QDialog& dialog) {
    width = dialog.width();
    font = dialog.font();
    return int(QDialog::Rejected);
  });
  Action("actGroupAdd")->trigger();
  // The title bar's face is at least 10 points, often bold, beside an icon and three buttons.
  font.setBold(true);
  font.setPointSizeF(std::max<qreal>(font.pointSizeF(), 10));
  EXPECT_GE(width,
            QFontMetrics(font).horizontalAdvance(QStringLiteral("Название группы действий")) + 100);
}

TEST_F(GroupCommands, WithoutGroupsTheFirstNameIsProposedAndAddedUnselected) {
  Open();
  auto seen = std::make_shared<Seen>();
  modal::Prepare(Type(QStringLiteral("Без названия 1"), seen));
  Action("actGroupAdd")->trigger();
  EXPECT_EQ(seen->text, QStringLiteral("Без названия 1"));
  ASSERT_EQ(ScriptRegistry->GroupCount(), 1);
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->Name, Cp("Без названия 1"));
  EXPECT_FALSE(ScriptRegistry->GetGroup(0)->Enabled);
  ASSERT_EQ(Groups()->count(), 1);
  EXPECT_EQ(Groups()->item(0)->checkState(), Qt::Unchecked);
  EXPECT_TRUE(Groups()->selectedItems().isEmpty());
  EXPECT_FALSE(window->Saved());
  EXPECT_FALSE(Action("actAdd")->isEnabled());
}

TEST_F(GroupCommands, ANewGroupGoesLastAndTheSelectionStays) {
  WriteScript(TwoGroups);
  Open();
  SelectGroup(1);
  modal::Prepare(Type(QStringLiteral("Третья")));
  Action("actGroupAdd")->trigger();
  ASSERT_EQ(Groups()->count(), 3);
  EXPECT_EQ(Groups()->item(2)->text(), QStringLiteral("Третья"));
  EXPECT_EQ(Groups()->item(2)->checkState(), Qt::Unchecked);
  ASSERT_EQ(Groups()->selectedItems().size(), 1);
  EXPECT_EQ(Groups()->row(Groups()->selectedItems().first()), 1);
  EXPECT_EQ(ScriptRegistry->GetGroup(2)->Name, Cp("Третья"));
}

TEST_F(GroupCommands, RefusedNamesAreAskedForAgainWithTheTextKept) {
  WriteScript(TwoGroups);
  Open();
  std::vector<std::shared_ptr<Seen>> boxes, messages;
  const QString entries[] = {QString(), QStringLiteral("a]b"), QStringLiteral("x\\ACTION_1"),
                             QStringLiteral("ИСХОДЯЩИЕ"), QStringLiteral("漢字")};
  for (const QString& entry : entries) {
    boxes.push_back(std::make_shared<Seen>());
    messages.push_back(std::make_shared<Seen>());
    modal::Prepare(Type(entry, boxes.back()));
    modal::Prepare(Click(QMessageBox::Ok, messages.back()));
  }
  boxes.push_back(std::make_shared<Seen>());
  modal::Prepare(Type(QStringLiteral("Архив"), boxes.back()));
  Action("actGroupAdd")->trigger();

  EXPECT_EQ(boxes[0]->text, QStringLiteral("Без названия 1"));
  for (size_t i = 1; i < boxes.size(); ++i) EXPECT_EQ(boxes[i]->text, entries[i - 1]) << i;
  EXPECT_EQ(messages[0]->text, QStringLiteral("Название группы не может быть пустым."));
  EXPECT_EQ(
      messages[3]->text,
      QStringLiteral("Группа с таким названием уже есть (большие и малые буквы не различаются)."));
  for (const auto& message : messages) {
    EXPECT_FALSE(message->text.isEmpty());
    EXPECT_EQ(message->title, QStringLiteral("Tessel scripts"));
  }
  ASSERT_EQ(ScriptRegistry->GroupCount(), 3);
  EXPECT_EQ(ScriptRegistry->GetGroup(2)->Name, Cp("Архив"));
}

TEST_F(GroupCommands, CancellingAfterARefusalAddsNothing) {
  WriteScript(TwoGroups);
  Open();
  modal::Prepare(Type(QStringLiteral("Входящие")));
  modal::Prepare(Click(QMessageBox::Ok));
  modal::Prepare(CancelInput());
  Action("actGroupAdd")->trigger();
  EXPECT_EQ(ScriptRegistry->GroupCount(), 2);
  EXPECT_EQ(Groups()->count(), 2);
  EXPECT_TRUE(window->Saved());
}

TEST_F(GroupCommands, DeleteRemovesTheSelectedGroupAndLeavesNoneSelected) {
  WriteScript(TwoGroups);
  Open();
  SelectGroup(0);
  // Asked first; "Нет" keeps the group and the script saved.
  auto seen = std::make_shared<Seen>();
  modal::Prepare(Click(QMessageBox::No, seen));
  Action("actGroupDel")->trigger();
  EXPECT_EQ(seen->text, QStringLiteral("Удалить группу \"Исходящие\" со всеми её действиями?"));
  EXPECT_EQ(ScriptRegistry->GroupCount(), 2);
  EXPECT_EQ(Groups()->count(), 2);
  EXPECT_TRUE(window->Saved());
  modal::Prepare(Click(QMessageBox::Yes));
  Action("actGroupDel")->trigger();
  ASSERT_EQ(ScriptRegistry->GroupCount(), 1);
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->Name, Cp("Входящие"));
  ASSERT_EQ(Groups()->count(), 1);
  EXPECT_TRUE(Groups()->selectedItems().isEmpty());
  EXPECT_EQ(Steps()->topLevelItemCount(), 0);
  EXPECT_EQ(Edit("cxButtonEdit3")->text(), QString());
  EXPECT_FALSE(window->Saved());
  EXPECT_FALSE(Action("actGroupDel")->isEnabled());
}

using StepCommands = MainWindowTest;

TEST_F(StepCommands, DeleteRemovesEverySelectedStepAndRenumbers) {
  WriteScript(FourSteps);
  Open();
  TTesselActionList* g = ScriptRegistry->GetGroup(0);
  TTesselAction* second = g->GetAction(1);
  TTesselAction* fourth = g->GetAction(3);
  SelectSteps({0, 2});
  auto seen = std::make_shared<Seen>();
  modal::Prepare(Click(QMessageBox::No, seen));
  Action("actDel")->trigger();
  EXPECT_EQ(seen->text, QStringLiteral("Удалить выбранные действия (2)?"));
  EXPECT_EQ(g->ActionCount(), 4);
  EXPECT_EQ(StepColumn(0), (std::vector<QString>{"1", "2", "3", "4"}));
  modal::Prepare(Click(QMessageBox::Yes));
  Action("actDel")->trigger();
  ASSERT_EQ(g->ActionCount(), 2);
  EXPECT_EQ(g->GetAction(0), second);
  EXPECT_EQ(g->GetAction(1), fourth);
  EXPECT_EQ(StepColumn(0), (std::vector<QString>{"1", "2"}));
  EXPECT_EQ(StepColumn(3), (std::vector<QString>{"/2", "/4"}));
  EXPECT_TRUE(second->Enabled);
  EXPECT_FALSE(window->Saved());
}

TEST_F(StepCommands, AddAppendsTheEditorsStepDisabled) {
  WriteScript(FourSteps);
  Open();
  auto seen = std::make_shared<Seen>();
  modal::Prepare([seen](QDialog& dialog) {
    seen->title = dialog.windowTitle();
    seen->modal = QApplication::activeModalWidget() == &dialog;
    return int(QDialog::Accepted);
  });
  Action("actAdd")->trigger();
  EXPECT_EQ(seen->title, QStringLiteral("Выбор одиночного действия над файлом"));
  EXPECT_TRUE(seen->modal);
  TTesselActionList* g = ScriptRegistry->GetGroup(0);
  ASSERT_EQ(g->ActionCount(), 5);
  auto* sign = dynamic_cast<TTesselAction_sign*>(g->GetAction(4));
  ASSERT_NE(sign, nullptr);
  EXPECT_FALSE(sign->Enabled);
  EXPECT_EQ(StepColumn(0).back(), QStringLiteral("5"));
  EXPECT_EQ(StepColumn(1).back(), QStringLiteral("Подписать"));
  EXPECT_EQ(Steps()->topLevelItem(4)->checkState(0), Qt::Unchecked);
  EXPECT_FALSE(window->Saved());
}

TEST_F(StepCommands, ChangeEditsTheFirstSelectedRowInPlace) {
  WriteScript(FourSteps);
  Open();
  TTesselActionList* g = ScriptRegistry->GetGroup(0);
  TTesselAction* first = g->GetAction(0);
  TTesselAction* third = g->GetAction(2);
  SelectSteps({3, 1});
  QString shownCopy;
  modal::Prepare([&shownCopy](QDialog& dialog) {
    shownCopy = Find<QLineEdit>(&dialog, "cxButtonEdit1")->text();
    Find<QComboBox>(&dialog, "cxComboBox_action")->setCurrentIndex(kKindDecrypt);
    Find<QLineEdit>(&dialog, "cxTextEdit_idreceiver")->setText(QStringLiteral("R"));
    Find<QLineEdit>(&dialog, "cxTextEdit_idsender")->setText(QStringLiteral("S"));
    return int(QDialog::Accepted);
  });
  Action("actChange")->trigger();
  EXPECT_EQ(shownCopy, QStringLiteral("/2"));
  ASSERT_EQ(g->ActionCount(), 4);
  EXPECT_EQ(g->GetAction(0), first);
  EXPECT_EQ(g->GetAction(2), third);
  auto* dec = dynamic_cast<TTesselAction_decrypt*>(g->GetAction(1));
  ASSERT_NE(dec, nullptr);
  EXPECT_EQ(dec->ReceiverKey, "R");
  EXPECT_EQ(dec->CopyTo, "/2");
  // The replaced step was enabled, and so is its successor.
  EXPECT_TRUE(dec->Enabled);
  EXPECT_EQ(StepColumn(0), (std::vector<QString>{"1", "2", "3", "4"}));
  EXPECT_EQ(Steps()->topLevelItem(1)->text(1), QStringLiteral("Расшифровать"));
  EXPECT_EQ(Steps()->topLevelItem(1)->text(2), QStringLiteral("Ключ: R от S"));
  EXPECT_EQ(Steps()->topLevelItem(1)->checkState(0), Qt::Checked);
  EXPECT_FALSE(window->Saved());

  // The row now carries the new step: its check box reaches it.
  Steps()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(dec->Enabled);
}

// A signature check whose key is changed must go on checking: a step that
// silently fell out let files through unchecked.
TEST_F(StepCommands, ChangeKeepsTheEnabledFlagAndAddStillGivesADisabledStep) {
  WriteScript([] {
    TTesselActionList* g = ScriptRegistry->AddGroup("G");
    auto* check = static_cast<TTesselAction_checksign*>(g->CreateAction(kKindCheckSign));
    check->KeyList = "OLD";
    check->Enabled = true;
    g->CreateAction(kKindNone);  // disabled
  });
  Open();
  TTesselActionList* g = ScriptRegistry->GetGroup(0);
  auto newKey = [](QDialog& dialog) {
    Find<QLineEdit>(&dialog, "cxTextEdit2")->setText(QStringLiteral("NEW"));
    return int(QDialog::Accepted);
  };
  SelectSteps({0});
  modal::Prepare(newKey);
  Action("actChange")->trigger();
  auto* check = dynamic_cast<TTesselAction_checksign*>(g->GetAction(0));
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check->KeyList, "NEW");
  EXPECT_TRUE(check->Enabled);
  EXPECT_EQ(Steps()->topLevelItem(0)->checkState(0), Qt::Checked);

  // A disabled step stays disabled.
  SelectSteps({1});
  modal::Prepare([](QDialog& dialog) {
    Find<QComboBox>(&dialog, "cxComboBox_action")->setCurrentIndex(kKindCheckSign);
    return int(QDialog::Accepted);
  });
  Action("actChange")->trigger();
  EXPECT_FALSE(g->GetAction(1)->Enabled);
  EXPECT_EQ(Steps()->topLevelItem(1)->checkState(0), Qt::Unchecked);

  // A new step is still off.
  modal::Prepare([](QDialog&) { return int(QDialog::Accepted); });
  Steps()->clearSelection();
  Action("actAdd")->trigger();
  ASSERT_EQ(g->ActionCount(), 3);
  EXPECT_FALSE(g->GetAction(2)->Enabled);
  EXPECT_EQ(Steps()->topLevelItem(2)->checkState(0), Qt::Unchecked);
}

TEST_F(StepCommands, TheThreeTextColumnsShowTheirWholeTextAsATip) {
  const std::string copy = "/srv/exchange/a-very-long-archive-folder-name/that-the-column-cuts";
  WriteScript([&] {
    TTesselActionList* g = ScriptRegistry->AddGroup("G");
    auto* enc = static_cast<TTesselAction_encrypt*>(g->CreateAction(kKindEncrypt));
    enc->SenderKey = "BANK01";
    enc->ReceiverKeyList = "CLIENT1;CLIENT2;CLIENT3;CLIENT4;CLIENT5;AUDIT";
    enc->CopyTo = copy;
  });
  Open();
  QTreeWidgetItem* row = Steps()->topLevelItem(0);
  EXPECT_EQ(row->toolTip(1), QStringLiteral("Шифровать"));
  EXPECT_EQ(row->toolTip(2),
            QStringLiteral("Ключ: BANK01 для CLIENT1;CLIENT2;CLIENT3;CLIENT4;CLIENT5;AUDIT"));
  EXPECT_EQ(row->toolTip(3), Q(copy));
  // The column is narrower than the text: without the tip it could not be read.
  EXPECT_GT(Steps()->fontMetrics().horizontalAdvance(Q(copy)), Steps()->columnWidth(3));
}

TEST_F(StepCommands, CancelledEditorChangesNothing) {
  WriteScript(FourSteps);
  Open();
  TTesselActionList* g = ScriptRegistry->GetGroup(0);
  modal::Prepare([](QDialog&) { return int(QDialog::Rejected); });
  Action("actAdd")->trigger();
  EXPECT_EQ(g->ActionCount(), 4);
  EXPECT_EQ(Steps()->topLevelItemCount(), 4);
  EXPECT_TRUE(window->Saved());

  TTesselAction* second = g->GetAction(1);
  SelectSteps({1});
  modal::Prepare([](QDialog& dialog) {
    Find<QComboBox>(&dialog, "cxComboBox_action")->setCurrentIndex(kKindSign);
    return int(QDialog::Rejected);
  });
  Action("actChange")->trigger();
  EXPECT_EQ(g->ActionCount(), 4);
  EXPECT_EQ(g->GetAction(1), second);
  EXPECT_EQ(second->GetKind(), kKindNone);
  EXPECT_EQ(second->CopyTo, "/2");
  EXPECT_TRUE(second->Enabled);
  EXPECT_EQ(StepColumn(1)[1], QStringLiteral("Ничего не делать"));
}

using BrowseButtons = MainWindowTest;

TEST_F(BrowseButtons, KeyFolderPickerPreselectsAndFillsTheField) {
  const std::string keys = dir.Sub(Cp("ключи/"));
  const std::string chosen = dir.Sub(Cp("другие"));
  WriteScript([&] { ScriptRegistry->PubKeysPath = keys.substr(0, keys.size() - 1); });
  Open();
  auto seen = std::make_shared<Seen>();
  modal::Prepare(Pick(Q(chosen), seen));
  Edit("cxButtonEdit1")->Button()->click();
  EXPECT_EQ(seen->title, QStringLiteral("Выбор папки открытых ключей"));
  EXPECT_EQ(seen->text, QStringLiteral("ключи"));
  EXPECT_TRUE(seen->modal);
  EXPECT_EQ(seen->parent, window.get());
  EXPECT_EQ(Edit("cxButtonEdit1")->text(), Q(chosen));
  EXPECT_EQ(ScriptRegistry->PubKeysPath, chosen);
  EXPECT_FALSE(window->Saved());

  seen = std::make_shared<Seen>();
  modal::Prepare(CancelChooser(seen));
  Edit("cxButtonEdit2")->Button()->click();
  EXPECT_EQ(seen->title, QStringLiteral("Выбор папки секретных ключей"));
  EXPECT_EQ(seen->text, QString());
  EXPECT_EQ(Edit("cxButtonEdit2")->text(), QString());
}

TEST_F(BrowseButtons, GroupFolderPickersHaveTheirTitles) {
  WriteScript(TwoGroups);
  Open();
  auto dest = std::make_shared<Seen>();
  auto bad = std::make_shared<Seen>();
  modal::Prepare(Pick(Q(dir.Sub("out")), dest));
  modal::Prepare(CancelChooser(bad));
  Edit("cxButtonEdit4")->Button()->click();
  Edit("cxButtonEdit5")->Button()->click();
  EXPECT_EQ(dest->title, QStringLiteral("Выбор папки для конечного файла"));
  EXPECT_EQ(bad->title, QStringLiteral("Выбор папки для \"плохих\" файлов"));
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->DestFolder, dir.Sub("out"));
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->BadFolder, "/bad");
}

TEST_F(BrowseButtons, MaskFieldTakesTheChosenFilesFullPath) {
  WriteScript(TwoGroups);
  Open();
  const std::string file = dir.Path() + "pay0001.txt";
  testing_support::WriteFile(file, "x");
  testing_support::WriteFile(dir.Path() + "old.txt", "x");
  Edit("cxButtonEdit3")->setText(Q(dir.Path() + "old.txt"));
  QString proposed;
  QString shownFolder;
  modal::Prepare([&](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    EXPECT_NE(chooser, nullptr);
    if (!chooser) return int(QDialog::Rejected);
    proposed = Find<QLineEdit>(chooser, "fileNameEdit")->text();
    shownFolder = chooser->directory().absolutePath() + "/";
    EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
    chooser->selectFile(Q(file));
    return int(QDialog::Accepted);
  });
  Edit("cxButtonEdit3")->Button()->click();
  EXPECT_EQ(proposed, QStringLiteral("old.txt"));
  EXPECT_EQ(shownFolder, Q(dir.Path()));
  EXPECT_EQ(Edit("cxButtonEdit3")->text(), Q(file));
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->SourceMask, file);
}

}  // namespace
}  // namespace ui_test

namespace ui_test {
namespace {

using MaskListing = MainWindowTest;

TEST_F(MaskListing, ShowsWhatTheSelectedGroupsMaskTakesAndTouchesNothing) {
  const std::string in = dir.Sub("in/");
  for (const char* name : {"a.txt", "b.txt", "c.dat"}) testing_support::WriteFile(in + name, name);
  WriteScript([&] {
    ScriptRegistry->AddGroup("Empty");
    TTesselActionList* g = ScriptRegistry->AddGroup(Cp("Исходящие"));
    g->Enabled = true;
    g->SourceMask = in + "*.txt|b*";
    g->DestFolder = dir.Sub("out/");
    g->CreateAction(kKindNone)->Enabled = true;
  });
  Open();
  EXPECT_TRUE(Action("actMaskList")->isEnabled());
  SelectGroup(1);
  auto modified = [&] {
    std::vector<std::filesystem::file_time_type> times;
    for (const std::string& name : testing_support::ListNames(in))
      times.push_back(std::filesystem::last_write_time(platform::Cp1251ToUtf8(in + name)));
    return times;
  };
  const auto namesBefore = testing_support::ListNames(in);
  const auto timesBefore = modified();
  const std::string logBefore = log.Bytes();

  auto seen = std::make_shared<Seen>();
  QString text;
  modal::Prepare([&](QDialog& dialog) {
    seen->title = dialog.windowTitle();
    seen->modal = QApplication::activeModalWidget() == &dialog;
    text = Find<QPlainTextEdit>(&dialog, "TextBoxText")->toPlainText();
    return int(QDialog::Rejected);
  });
  Action("actMaskList")->trigger();
  EXPECT_EQ(seen->title, QStringLiteral("Какие файлы возьмёт маска группы \"Исходящие\""));
  EXPECT_TRUE(seen->modal);
  EXPECT_EQ(text, Q(Cp("Маска: ") + in + Cp("*.txt|b*\nПапка: ") + in +
                    Cp("\nВозьмёт сейчас (1):\n    a.txt\nИсключает (1):\n    b.txt")));

  EXPECT_EQ(testing_support::ListNames(in), namesBefore);
  EXPECT_EQ(modified(), timesBefore);
  EXPECT_EQ(log.Bytes(), logBefore);
  EXPECT_TRUE(testing_support::ListNames(dir.Sub("tmp/")).empty()) << "no working folder";
  EXPECT_TRUE(testing_support::ListNames(dir.Sub("out/")).empty());
  EXPECT_TRUE(window->Saved());

  // Without a group there is nothing to list.
  Groups()->clearSelection();
  QApplication::processEvents();
  EXPECT_FALSE(Action("actMaskList")->isEnabled());
}

}  // namespace
}  // namespace ui_test

namespace ui_test {
namespace {

using ScriptCheck = MainWindowTest;

// The window's check is tessel check's report on the script on screen: an
// unsaved edit counts, nothing is written, and running the script disables it.
TEST_F(ScriptCheck, ReportsTheScriptOnScreenAsTesselCheckDoes) {
  const std::string in = dir.Sub("in/");
  WriteScript([&] {
    TTesselActionList* g = ScriptRegistry->AddGroup(Cp("Исходящие"));
    g->Enabled = true;
    g->SourceMask = in + "*.txt";
    g->DestFolder = dir.Sub("out/");
    g->BadFolder = dir.Sub("bad/");
    g->CreateAction(kKindNone)->Enabled = true;
  });
  Open();
  SelectGroup(0);
  const std::string missing = dir.Path() + "nowhere/";
  Edit("cxButtonEdit4")->setText(Q(missing));  // not saved
  const std::string logBefore = log.Bytes();

  QString text, title;
  modal::Prepare([&](QDialog& dialog) {
    title = dialog.windowTitle();
    text = Find<QPlainTextEdit>(&dialog, "TextBoxText")->toPlainText();
    return int(QDialog::Rejected);
  });
  ASSERT_TRUE(Action("actCheck")->isEnabled());
  Action("actCheck")->trigger();
  EXPECT_EQ(title, QStringLiteral("Проверка сценария"));
  EXPECT_TRUE(text.contains(Q(Cp("группа \"Исходящие\": папка для результата ") + missing)))
      << text.toStdString();
  EXPECT_TRUE(text.section(QLatin1Char('\n'), -1).startsWith(QStringLiteral("Итого: ошибок ")))
      << text.toStdString();
  EXPECT_FALSE(text.contains(Q(dir.Sub("out/")))) << "the saved folder is not what is checked";
  EXPECT_EQ(log.Bytes(), logBefore);
  EXPECT_FALSE(window->Saved());

  Action("actRun")->trigger();
  EXPECT_FALSE(Action("actCheck")->isEnabled());
  Action("actStop")->trigger();
  EXPECT_TRUE(Action("actCheck")->isEnabled());
}

}  // namespace
}  // namespace ui_test
