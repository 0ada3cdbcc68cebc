#include "ui/TfTesselMainForm.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include "config/uIniUtil.h"
#include "platform/Cp1251.h"
#include "ui/Application.h"
#include "ui/BrowseForFolder.h"
#include "ui/GroupNames.h"
#include "ui/ModalSeam.h"
#include "ui/ScriptSettings.h"
#include "ui/TButtonEdit.h"
#include "ui/TForm2.h"
#include "ui/UiText.h"

namespace {

constexpr int kStepRole = Qt::UserRole;

TTesselAction* StepOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<TTesselAction*>(item->data(0, kStepRole).value<quintptr>())
              : nullptr;
}

std::string Text(const QLineEdit* edit) {
  // The fields' validators let only Windows-1251 text in.
  return FromQ(edit->text()).value_or(platform::Utf8ToCp1251Lossy(edit->text().toStdString()));
}

// Sets a flag for the lifetime of the object and restores its old value.
class Raise {
 public:
  explicit Raise(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~Raise() { flag_ = old_; }
  Raise(const Raise&) = delete;
  Raise& operator=(const Raise&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

TfTesselMainForm::TfTesselMainForm(QWidget* parent)
    : QWidget(parent), SettingsFile(SettingsFilePath()) {
  BuildLayout();
  FormCreate();

  FCrypto.OnKeyUtilityError = [this](const std::string& text) { ShowMessage(this, ToQ(text)); };

  connect(cxSpinEdit1, &QSpinBox::valueChanged, this,
          &TfTesselMainForm::cxSpinEdit1PropertiesChange);
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
  actRunUpdate();
}

TfTesselMainForm::~TfTesselMainForm() {
  // The log must not reach a window that is gone.
  if (LogTarget == this) LogTarget = nullptr;
}

void TfTesselMainForm::AddLine(const std::string& line, TLogKind) {
  Memo1->appendPlainText(ToQ(line));
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
  if (actLoad->isEnabled()) actLoad->trigger();
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
  if (FSaved) return true;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                  QStringLiteral("Настройки не сохранены!. Сохранить?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  modal::Run(box);
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
      actSaveExecute();
      return FSaved;  // never close on changes that could not be saved
    case QMessageBox::No:
      return true;
    default:
      return false;
  }
}

void TfTesselMainForm::FormClose() {
  if (FCrypto.FCryptoReady) DoneCrypto();
  // No pass may run with the library closed while the program ends.
  Timer1->stop();
  FTicks.NoteStop();
}

// ---------------------------------------------------------------------------
// Running

bool TfTesselMainForm::TimerOn() const {
  return Timer1->isActive();
}

void TfTesselMainForm::actStopExecute(int tag) {
  if (tag == 0) {
    if (!FCrypto.FCryptoReady) InitCrypto();
  } else {
    DoneCrypto();
  }
  Timer1->setInterval(TimerIntervalMs(cxSpinEdit1->value()));
  if (tag == 0) {
    Timer1->start();
  } else {
    Timer1->stop();
    // A tick that is letting events through must not run its pass now.
    FTicks.NoteStop();
  }
  actRunUpdate();
}

void TfTesselMainForm::InitCrypto() {
  FCrypto.InitCrypto(ScriptRegistry->SecKeysPath, ScriptRegistry->PubKeysPath);
}

void TfTesselMainForm::DoneCrypto() {
  FCrypto.DoneCrypto();
}

void TfTesselMainForm::Timer1Timer() {
  FTicks.Tick([] { QCoreApplication::processEvents(); }, [] { ScriptRegistry->RunAllGroups(); });
  actRunUpdate();
}

void TfTesselMainForm::actRunUpdate() {
  const bool off = !TimerOn();
  const bool group = CurrentGroup() != nullptr;
  const bool steps = group && !ListView1->selectedItems().isEmpty();
  actRun->setEnabled(off);
  actStop->setEnabled(!off);
  actSave->setEnabled(off && !FSaved);
  actLoad->setEnabled(off);
  actGroupAdd->setEnabled(off);
  actGroupDel->setEnabled(off && group);
  actAdd->setEnabled(off && group);
  actDel->setEnabled(off && steps);
  actChange->setEnabled(off && steps);
  for (QWidget* control :
       {static_cast<QWidget*>(cxButtonEdit1), static_cast<QWidget*>(cxButtonEdit2),
        static_cast<QWidget*>(cxButtonEdit3), static_cast<QWidget*>(cxButtonEdit4),
        static_cast<QWidget*>(cxButtonEdit5), static_cast<QWidget*>(CheckListBox1),
        static_cast<QWidget*>(ListView1)})
    control->setEnabled(off);
}

// ---------------------------------------------------------------------------
// Load and save

void TfTesselMainForm::actLoadExecute() {
  const int32_t interval = LoadScript(SettingsFile);
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
  FSaved = true;
  actRunUpdate();
}

void TfTesselMainForm::actSaveExecute() {
  // A save that failed leaves the settings unsaved, so closing still asks.
  FSaved = SaveScript(SettingsFile, cxSpinEdit1->value());
  actRunUpdate();
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
    for (int i = 0; i < group->ActionCount(); ++i) ShowStepRow(group->GetAction(i));
    RenumberSteps();
  } else {
    cxButtonEdit3->clear();
    cxButtonEdit4->clear();
    cxButtonEdit5->clear();
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
  item->setText(1, ToQ(step->GetCaption()));
  item->setText(2, ToQ(step->GetParamText()));
  item->setText(3, ToQ(step->CopyTo));
  item->setCheckState(0, step->Enabled ? Qt::Checked : Qt::Unchecked);
  RenumberSteps();
}

void TfTesselMainForm::RenumberSteps() {
  Raise filling(FFilling);
  for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
    ListView1->topLevelItem(i)->setText(0, QString::number(i + 1));
}

// ---------------------------------------------------------------------------
// Editing the model

void TfTesselMainForm::cxButtonEdit1PropertiesChange() {
  if (FFilling) return;
  ScriptRegistry->PubKeysPath = Text(cxButtonEdit1);
  ScriptRegistry->SecKeysPath = Text(cxButtonEdit2);
  FSaved = false;
  actRunUpdate();
}

void TfTesselMainForm::cxButtonEdit3PropertiesChange() {
  if (FFilling) return;
  if (TTesselActionList* group = CurrentGroup()) {
    group->SourceMask = Text(cxButtonEdit3);
    FSaved = false;
  }
  actRunUpdate();
}

void TfTesselMainForm::cxButtonEdit4PropertiesChange() {
  if (FFilling) return;
  if (TTesselActionList* group = CurrentGroup()) {
    group->DestFolder = Text(cxButtonEdit4);
    FSaved = false;
  }
  actRunUpdate();
}

void TfTesselMainForm::cxButtonEdit5PropertiesChange() {
  if (FFilling) return;
  if (TTesselActionList* group = CurrentGroup()) {
    group->BadFolder = Text(cxButtonEdit5);
    FSaved = false;
  }
  actRunUpdate();
}

void TfTesselMainForm::cxSpinEdit1PropertiesChange() {
  FSaved = false;
  actRunUpdate();
}

void TfTesselMainForm::CheckListBox1ClickCheck(QListWidgetItem* item) {
  if (FFilling || !item) return;
  // The line whose box was toggled; FSaved stays as it is.
  if (TTesselActionList* group = ScriptRegistry->GetGroup(CheckListBox1->row(item)))
    group->Enabled = item->checkState() == Qt::Checked;
}

void TfTesselMainForm::ListView1Change(QTreeWidgetItem* item) {
  if (FFilling) return;
  if (TTesselAction* step = StepOf(item)) {
    step->Enabled = item->checkState(0) == Qt::Checked;
    FSaved = false;
  }
  actRunUpdate();
}

void TfTesselMainForm::ListView1SelectionChange(const QItemSelection& selected,
                                                const QItemSelection& deselected) {
  if (FFilling) return;
  // Every row whose selection changed reports a change, as a check mark does.
  QList<int> rows;
  for (const QItemSelection* part : {&selected, &deselected})
    for (const QModelIndex& index : part->indexes())
      if (!rows.contains(index.row())) rows.append(index.row());
  for (int row : rows) ListView1Change(ListView1->topLevelItem(row));
  actRunUpdate();
}

void TfTesselMainForm::cxButtonEdit1PropertiesButtonClick(TButtonEdit* edit) {
  BrowseGroupFolder(edit, edit == cxButtonEdit1 ? QStringLiteral("Выбор папки открытых ключей")
                                                : QStringLiteral("Выбор папки секретных ключей"));
}

void TfTesselMainForm::cxButtonEdit3ropertiesButtonClick() {
  QFileDialog dialog(this);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilter(QStringLiteral("* (*)"));
  dialog.selectFile(cxButtonEdit3->text());
  if (modal::Run(dialog) != QDialog::Accepted) return;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return;
  if (!FromQ(chosen.first())) {
    ShowMessage(this,
                QStringLiteral("Путь к выбранному файлу содержит символы, которых нет в "
                               "кодировке Windows-1251. Выберите другой файл."),
                QMessageBox::Warning);
    return;
  }
  cxButtonEdit3->setText(chosen.first());
}

void TfTesselMainForm::cxButtonEdit4PropertiesButtonClick() {
  BrowseGroupFolder(cxButtonEdit4, QStringLiteral("Выбор папки для конечного файла"));
}

void TfTesselMainForm::cxButtonEdit5PropertiesButtonClick() {
  BrowseGroupFolder(cxButtonEdit5, QStringLiteral("Выбор папки для \"плохих\" файлов"));
}

void TfTesselMainForm::BrowseGroupFolder(TButtonEdit* edit, const QString& title) {
  std::string folder = Text(edit);
  if (BrowseForFolder(title, folder, this)) edit->setText(ToQ(folder));
}

std::vector<std::string> TfTesselMainForm::GroupNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < ScriptRegistry->GroupCount(); ++i)
    names.push_back(ScriptRegistry->GetGroup(i)->Name);
  return names;
}

bool TfTesselMainForm::AskGroupName(std::string& name) {
  QString text = ToQ(ProposeGroupName(GroupNames()));
  for (;;) {
    QInputDialog box(this);
    box.setWindowTitle(QStringLiteral("Название группы действий"));
    box.setLabelText(QString());
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(text);
    if (modal::Run(box) != QDialog::Accepted) return false;
    text = box.textValue();
    // Names the settings file could not keep are refused; the text stays for another try.
    const std::optional<std::string> entered = FromQ(text);
    const std::string problem = entered ? GroupNameProblem(*entered, GroupNames()) : std::string();
    if (entered && problem.empty()) {
      name = *entered;
      return true;
    }
    ShowMessage(this,
                entered ? ToQ(problem)
                        : QStringLiteral("Название группы содержит символы, которых нет в "
                                         "кодировке Windows-1251."),
                QMessageBox::Warning);
  }
}

void TfTesselMainForm::actGroupAddExecute() {
  std::string name;
  if (!AskGroupName(name)) return;
  TTesselActionList* group = ScriptRegistry->AddGroup(name);
  {
    Raise filling(FFilling);
    const QSignalBlocker quiet(CheckListBox1);
    auto* line = new QListWidgetItem(ToQ(group->Name), CheckListBox1);
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    line->setCheckState(Qt::Unchecked);
  }
  FSaved = false;
  ShowGroup();
  actRunUpdate();
}

void TfTesselMainForm::actGroupDelExecute() {
  const QList<QListWidgetItem*> selected = CheckListBox1->selectedItems();
  if (selected.isEmpty()) return;
  const int index = CheckListBox1->row(selected.first());
  ScriptRegistry->DeleteGroup(index);
  {
    Raise filling(FFilling);
    const QSignalBlocker quiet(CheckListBox1);
    delete CheckListBox1->takeItem(index);
    CheckListBox1->clearSelection();
    CheckListBox1->setCurrentRow(-1);
  }
  FSaved = false;
  ShowGroup();
  actRunUpdate();
}

void TfTesselMainForm::actAddExecute() {
  TTesselActionList* group = CurrentGroup();
  if (!group) return;
  TTesselAction* step = nullptr;
  if (!EditStep(step, this)) return;
  group->AddAction(step);
  ShowStepRow(step);
  FSaved = false;
  actRunUpdate();
}

void TfTesselMainForm::actDelExecute() {
  TTesselActionList* group = CurrentGroup();
  if (!group) return;
  // From the last row up, so the positions of rows still to go stay valid.
  for (int row = ListView1->topLevelItemCount() - 1; row >= 0; --row)
    if (ListView1->topLevelItem(row)->isSelected()) group->DeleteAction(row);
  ShowGroup();
  FSaved = false;
  actRunUpdate();
}

void TfTesselMainForm::actChangeExecute() {
  TTesselActionList* group = CurrentGroup();
  if (!group) return;
  int row = -1;
  for (int i = 0; i < ListView1->topLevelItemCount() && row < 0; ++i)
    if (ListView1->topLevelItem(i)->isSelected()) row = i;
  if (row < 0) return;
  TTesselAction* step = StepOf(ListView1->topLevelItem(row));
  // The editor destroys the old step; its position is taken while it still exists.
  const int position = group->IndexOfAction(step);
  if (!EditStep(step, this)) return;
  if (position >= 0) group->Actions.Put(position, step);
  ShowStepRow(step, row);
  FSaved = false;
  actRunUpdate();
}
