#include "ui/TfTesselMainForm.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include "config/uIniUtil.h"
#include "ui/Application.h"
#include "ui/CommandStates.h"
#include "ui/LogView.h"
#include "ui/Look.h"
#include "ui/MainFormParts.h"
#include "ui/ModalSeam.h"
#include "ui/TButtonEdit.h"
#include "ui/TrayIcon.h"
#include "ui/UiText.h"
#include "ui/WindowNotices.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0"
#endif

using main_form::kStepRole;
using main_form::Raise;
using main_form::StepOf;

TfTesselMainForm::TfTesselMainForm(QWidget* parent)
    : QWidget(parent),
      SettingsFile(SettingsFilePath()),
      FHistory(TESSEL_VERSION),
      // Called on the pass's thread: the reports are taken on the window's.
      FPass([this] {
        QMetaObject::invokeMethod(this, &TfTesselMainForm::TakeReports, Qt::QueuedConnection);
      }) {
  BuildLayout();
  FormCreate();

  FCrypto.OnKeyUtilityError = [this](const std::string& text) { ShowMessage(this, ToQ(text)); };
  // Called on the pass's thread; taken with the pass's other reports.
  ScriptRegistry->OnFailure = [this](const TFailureEvent& failure) { FPass.AddFailure(failure); };

  connect(cxSpinEdit1, &QSpinBox::valueChanged, this,
          &TfTesselMainForm::cxSpinEdit1PropertiesChange);
  connect(cxSpinEditSettle, &QSpinBox::valueChanged, this,
          &TfTesselMainForm::cxSpinEditSettlePropertiesChange);
  connect(cxSpinEditDuplicate, &QSpinBox::valueChanged, this,
          &TfTesselMainForm::cxSpinEditDuplicatePropertiesChange);
  connect(cxButtonEdit1, &QLineEdit::textChanged, this,
          &TfTesselMainForm::cxButtonEdit1PropertiesChange);
  connect(cxButtonEdit2, &QLineEdit::textChanged, this,
          &TfTesselMainForm::cxButtonEdit1PropertiesChange);
  connect(cxButtonEdit3, &QLineEdit::textChanged, this,
          &TfTesselMainForm::cxButtonEdit3PropertiesChange);
  connect(cxButtonEdit4, &QLineEdit::textChanged, this,
          &TfTesselMainForm::cxButtonEdit4PropertiesChange);
  connect(cxButtonEdit5, &QLineEdit::textChanged, this,
          &TfTesselMainForm::cxButtonEdit5PropertiesChange);
  connect(cxButtonEdit1, &TButtonEdit::buttonClicked, this,
          [this] { cxButtonEdit1PropertiesButtonClick(cxButtonEdit1); });
  connect(cxButtonEdit2, &TButtonEdit::buttonClicked, this,
          [this] { cxButtonEdit1PropertiesButtonClick(cxButtonEdit2); });
  connect(cxButtonEdit3, &TButtonEdit::buttonClicked, this,
          &TfTesselMainForm::cxButtonEdit3ropertiesButtonClick);
  connect(cxButtonEdit4, &TButtonEdit::buttonClicked, this,
          &TfTesselMainForm::cxButtonEdit4PropertiesButtonClick);
  connect(cxButtonEdit5, &TButtonEdit::buttonClicked, this,
          &TfTesselMainForm::cxButtonEdit5PropertiesButtonClick);
  connect(CheckListBox1, &QListWidget::itemSelectionChanged, this,
          &TfTesselMainForm::CheckListBox1Click);
  connect(CheckListBox1, &QListWidget::itemChanged, this,
          &TfTesselMainForm::CheckListBox1ClickCheck);
  connect(ListView1, &QTreeWidget::itemChanged, this,
          [this](QTreeWidgetItem* item) { ListView1Change(item); });
  connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TfTesselMainForm::ListView1SelectionChange);

  // The enable rules are applied whenever the application has nothing else
  // to do, and after every handler.
  if (auto* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
            &TfTesselMainForm::actRunUpdate);

  // Centred on the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(814 / 2, 535 / 2));
  }
  ShowStatus();
  actRunUpdate();
}

TfTesselMainForm::~TfTesselMainForm() {
  // A window destroyed without closing: its pass ends after the file in hand,
  // and what it still reports goes to the log file only.
  if (FPass.InFlight() && ScriptRegistry) {
    const bool stopWasRequested = ScriptRegistry->StopRequested();
    ScriptRegistry->RequestStop();
    FPass.WaitForEnd();
    if (!stopWasRequested) ScriptRegistry->ClearStop();
  }
  if (ScriptRegistry) {
    ScriptRegistry->OnFileStart = nullptr;
    ScriptRegistry->OnFailure = nullptr;
    ScriptRegistry->Roads = nullptr;
  }
  // The log must not reach a window that is gone.
  if (LogTarget == this) LogTarget = nullptr;
}

// ---------------------------------------------------------------------------
// Start-up and closing

void TfTesselMainForm::FormCreate() {
  FFilling = false;
  FCrypto.FCryptoReady = false;
}

void TfTesselMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!FShown) {
    FShown = true;
    FormShow();
  }
}

void TfTesselMainForm::FormShow() {
  LogTarget = this;
  if (actLoad->isEnabled()) RestoreScript();
  // Hidden once shown, so that the tray's "Показать окно" brings back a
  // window laid out as usual. Without a tray it stays: nothing could show it.
  if (FEditor.StartInTray() && FTrayIcon->Available())
    QTimer::singleShot(0, this, &QWidget::hide);
}

void TfTesselMainForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Looked();
}

void TfTesselMainForm::closeEvent(QCloseEvent* event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TfTesselMainForm::FormCloseQuery() {
  if (FEditor.Saved()) return true;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                  QStringLiteral("Настройки не сохранены!. Сохранить?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  modal::Run(box);
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
      // The script is saved while no pass has it.
      EndPassInFlight();
      actSaveExecute();
      return FEditor.Saved();  // never close on changes that could not be saved
    case QMessageBox::No:
      return true;
    default:
      return false;
  }
}

void TfTesselMainForm::FormClose() {
  // No pass may run with the library closed while the program ends: no tick
  // starts one, and the one in flight ends after its file in hand.
  Timer1->stop();
  FTicks.NoteStop();
  EndPassInFlight();
  if (FCrypto.FCryptoReady) DoneCrypto();
  FRunLock.Release();
}

void TfTesselMainForm::actRunUpdate() {
  TWindowState state;
  state.TimerOn = TimerOn();
  state.PassInFlight = FPass.InFlight();
  state.Saved = FEditor.Saved();
  // While running, nothing depends on the selection; the script is not looked at.
  const bool off = !state.TimerOn && !state.PassInFlight;
  state.GroupSelected = off && CurrentGroup() != nullptr;
  state.StepsSelected = state.GroupSelected && !ListView1->selectedItems().isEmpty();
  const TCommandStates enabled = CommandStates(state);
  actRun->setEnabled(enabled.Run);
  actStop->setEnabled(enabled.Stop);
  actSave->setEnabled(enabled.Save);
  actLoad->setEnabled(enabled.Load);
  actGroupAdd->setEnabled(enabled.GroupAdd);
  actGroupDel->setEnabled(enabled.GroupDel);
  actAdd->setEnabled(enabled.Add);
  actDel->setEnabled(enabled.Del);
  actChange->setEnabled(enabled.Change);
  actMaskList->setEnabled(enabled.MaskListing);
  actCheck->setEnabled(enabled.Check);
  actStartInTray->setChecked(FEditor.StartInTray());
  for (QWidget* control :
       {static_cast<QWidget*>(cxButtonEdit1), static_cast<QWidget*>(cxButtonEdit2),
        static_cast<QWidget*>(cxButtonEdit3), static_cast<QWidget*>(cxButtonEdit4),
        static_cast<QWidget*>(cxButtonEdit5), static_cast<QWidget*>(cxSpinEditSettle),
        static_cast<QWidget*>(cxSpinEditDuplicate),
        static_cast<QWidget*>(CheckListBox1), static_cast<QWidget*>(ListView1)})
    control->setEnabled(enabled.Editing);
}

// ---------------------------------------------------------------------------
// Load and save

void TfTesselMainForm::actLoadExecute() {
  if (!FEditor.Saved() && !Confirm(ToQ(RestoreQuestionText()))) return;
  RestoreScript();
}

void TfTesselMainForm::RestoreScript() {
  FEditor.Load(SettingsFile, [this](int32_t interval) {
    {
      // The lists' rows stand for groups and steps that are gone now; the
      // interval's change handler below must not look them up.
      Raise filling(FFilling);
      const QSignalBlocker quiet(CheckListBox1);
      CheckListBox1->clear();
      ListView1->clear();
    }
    // A stored value outside the field's range shows as the nearest it allows.
    cxSpinEdit1->setValue(interval);
    ShowScript();
  });
  LookForOtherRunner();
  ShowStatus();
  actRunUpdate();
}

void TfTesselMainForm::actSaveExecute() {
  // Another program wrote the file since this window read or saved it: the
  // save would lose that without a word.
  if (FEditor.ChangedOnDisk(SettingsFile)) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Confirm"),
                    ToQ(SaveConflictText(SettingsFile)),
                    QMessageBox::Save | QMessageBox::Open | QMessageBox::Cancel, this);
    box.button(QMessageBox::Save)->setText(QStringLiteral("Перезаписать"));
    box.button(QMessageBox::Open)->setText(QStringLiteral("Прочитать"));
    box.setDefaultButton(QMessageBox::Cancel);
    modal::Run(box);
    switch (box.standardButton(box.clickedButton())) {
      case QMessageBox::Save:
        break;
      case QMessageBox::Open:
        RestoreScript();
        return;
      default:
        return;
    }
  }
  FEditor.Save(SettingsFile, cxSpinEdit1->value());
  LookForOtherRunner();
  ShowStatus();
  actRunUpdate();
}

void TfTesselMainForm::actStartInTrayExecute() {
  FEditor.SetStartInTray(actStartInTray->isChecked());
  actRunUpdate();
}

bool TfTesselMainForm::Confirm(const QString& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text,
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  modal::Run(box);
  return box.standardButton(box.clickedButton()) == QMessageBox::Yes;
}

// ---------------------------------------------------------------------------
// Filling the controls

TTesselActionList* TfTesselMainForm::CurrentGroup() const {
  const QList<QListWidgetItem*> selected = CheckListBox1->selectedItems();
  if (selected.isEmpty()) return nullptr;
  return ScriptRegistry->GetGroup(CheckListBox1->row(selected.first()));
}

void TfTesselMainForm::ShowScript() {
  Raise filling(FFilling);
  cxButtonEdit1->setText(ToQ(ScriptRegistry->PubKeysPath));
  cxButtonEdit2->setText(ToQ(ScriptRegistry->SecKeysPath));
  {
    const QSignalBlocker quiet(CheckListBox1);
    CheckListBox1->clear();
    for (int i = 0; i < ScriptRegistry->GroupCount(); ++i) {
      const TTesselActionList* group = ScriptRegistry->GetGroup(i);
      auto* line = new QListWidgetItem(ToQ(group->Name), CheckListBox1);
      line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      line->setCheckState(group->Enabled ? Qt::Checked : Qt::Unchecked);
      ShowGroupLine(line, *group);
    }
    if (CheckListBox1->count() > 0) {
      CheckListBox1->setCurrentRow(0);
    } else {
      CheckListBox1->setCurrentRow(-1);
    }
  }
  CheckListBox1Click();
}

void TfTesselMainForm::CheckListBox1Click() {
  ShowGroup();
  actRunUpdate();
}

void TfTesselMainForm::ShowGroup() {
  Raise filling(FFilling);
  ListView1->clear();
  if (TTesselActionList* group = CurrentGroup()) {
    cxButtonEdit3->setText(ToQ(group->SourceMask));
    cxButtonEdit4->setText(ToQ(group->DestFolder));
    cxButtonEdit5->setText(ToQ(group->BadFolder));
    cxSpinEditSettle->setValue(group->SettleSeconds);
    cxSpinEditDuplicate->setValue(group->DuplicateDays);
    for (int i = 0; i < group->ActionCount(); ++i) ShowStepRow(group->GetAction(i));
    RenumberSteps();
  } else {
    cxButtonEdit3->clear();
    cxButtonEdit4->clear();
    cxButtonEdit5->clear();
    cxSpinEditSettle->setValue(0);
    cxSpinEditDuplicate->setValue(0);
  }
}

void TfTesselMainForm::ShowStepRow(TTesselAction* step, int row) {
  // The mark is set from the step, never the reverse: the row's change
  // handler stays quiet while the row is filled.
  Raise filling(FFilling);
  QTreeWidgetItem* item = row >= 0 ? ListView1->topLevelItem(row) : nullptr;
  if (!item) {
    item = new QTreeWidgetItem(ListView1);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  }
  item->setText(0, QString());
  item->setData(0, kStepRole, QVariant::fromValue(reinterpret_cast<quintptr>(step)));
  const QString texts[] = {ToQ(step->GetCaption()), ToQ(step->GetParamText()), ToQ(step->CopyTo)};
  for (int column = 1; column <= 3; ++column) {
    item->setText(column, texts[column - 1]);
    // Long folders and key lists are cut by the column; the tip shows them whole.
    item->setToolTip(column, texts[column - 1]);
  }
  item->setCheckState(0, step->Enabled ? Qt::Checked : Qt::Unchecked);
  RenumberSteps();
}

void TfTesselMainForm::ShowGroupLine(QListWidgetItem* line, const TTesselActionList& group) {
  line->setToolTip(ToQ(GroupPassText(group.Run().LastPass)));
  // A source folder the last pass could not read is otherwise silent.
  line->setForeground(group.Run().LastPass.SourceMissing ? QBrush(look::FailureColour())
                                                         : QBrush());
}

void TfTesselMainForm::ShowGroupLines() {
  Raise filling(FFilling);
  const QSignalBlocker quiet(CheckListBox1);
  for (int i = 0; i < CheckListBox1->count() && i < ScriptRegistry->GroupCount(); ++i)
    ShowGroupLine(CheckListBox1->item(i), *ScriptRegistry->GetGroup(i));
}

void TfTesselMainForm::RenumberSteps() {
  Raise filling(FFilling);
  for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
    ListView1->topLevelItem(i)->setText(0, QString::number(i + 1));
}
