// The main window's editing handlers: each hands the change to the script
// editor, which keeps the unsaved-state rules, and updates the controls.
#include <QFileDialog>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSpinBox>
#include <QTreeWidget>
#include <memory>

#include "engine/MaskListing.h"
#include "history/HistoryStore.h"

#include "runtime/Check.h"
#include "runtime/GroupNames.h"
#include "ui/Application.h"
#include "ui/BrowseForFolder.h"
#include "ui/HistoryDialog.h"
#include "ui/KeysDialog.h"
#include "ui/MainFormParts.h"
#include "ui/MaskReport.h"
#include "ui/ModalSeam.h"
#include "ui/TButtonEdit.h"
#include "ui/TForm2.h"
#include "ui/TextBox.h"
#include "ui/TfTesselMainForm.h"
#include "ui/WindowNotices.h"

using main_form::Raise;
using main_form::StepOf;

void TfTesselMainForm::cxButtonEdit1PropertiesChange() {
  if (FFilling) return;
  FEditor.SetKeyFolders(Text(cxButtonEdit1), Text(cxButtonEdit2));
  actRunUpdate();
}

void TfTesselMainForm::cxButtonEdit3PropertiesChange() {
  if (FFilling) return;
  FEditor.SetSourceMask(CurrentGroup(), Text(cxButtonEdit3));
  actRunUpdate();
}

void TfTesselMainForm::cxButtonEdit4PropertiesChange() {
  if (FFilling) return;
  FEditor.SetDestFolder(CurrentGroup(), Text(cxButtonEdit4));
  actRunUpdate();
}

void TfTesselMainForm::cxButtonEdit5PropertiesChange() {
  if (FFilling) return;
  FEditor.SetBadFolder(CurrentGroup(), Text(cxButtonEdit5));
  actRunUpdate();
}

void TfTesselMainForm::cxSpinEditDuplicatePropertiesChange() {
  if (FFilling) return;
  FEditor.SetDuplicateDays(CurrentGroup(), cxSpinEditDuplicate->value());
  actRunUpdate();
}

void TfTesselMainForm::cxSpinEditSettlePropertiesChange() {
  if (FFilling) return;
  FEditor.SetSettleSeconds(CurrentGroup(), cxSpinEditSettle->value());
  actRunUpdate();
}

void TfTesselMainForm::cxSpinEdit1PropertiesChange() {
  FEditor.IntervalChanged();
  actRunUpdate();
}

void TfTesselMainForm::CheckListBox1ClickCheck(QListWidgetItem* item) {
  if (FFilling || !item) return;
  // The line whose box was toggled.
  FEditor.SetGroupEnabled(ScriptRegistry->GetGroup(CheckListBox1->row(item)),
                          item->checkState() == Qt::Checked);
}

void TfTesselMainForm::ListView1Change(QTreeWidgetItem* item) {
  if (FFilling) return;
  if (TTesselAction* step = StepOf(item))
    FEditor.SetStepEnabled(step, item->checkState(0) == Qt::Checked);
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

void TfTesselMainForm::cxButtonEdit3ContextMenu(const QPoint& at) {
  std::unique_ptr<QMenu> menu(cxButtonEdit3->createStandardContextMenu());
  menu->addSeparator();
  menu->addAction(actMaskList);
  menu->exec(cxButtonEdit3->mapToGlobal(at));
}

void TfTesselMainForm::actMaskListExecute() {
  const TTesselActionList* group = CurrentGroup();
  if (!group) return;
  // Only looks: no file, working folder or log line is touched.
  QStringList lines;
  for (const std::string& line : MaskReportLines(group->SourceMask, ListMaskSelection(*group)))
    lines << ToQ(line);
  ShowTextBox(this, QStringLiteral("Какие файлы возьмёт маска группы \"%1\"").arg(ToQ(group->Name)),
              lines.join(QLatin1Char('\n')));
}

void TfTesselMainForm::actCheckExecute() {
  // The script as it stands on screen, saved or not; like the mask listing it
  // writes no log line.
  QStringList lines;
  for (const std::string& line : CheckReportLines(CheckScript(*ScriptRegistry, SettingsFile)))
    lines << ToQ(line);
  ShowTextBox(this, QStringLiteral("Проверка сценария"), lines.join(QLatin1Char('\n')));
}

void TfTesselMainForm::actHistoryExecute() {
  // Beside the log, where the window's passes keep it; open while they run.
  ShowHistory(this, HistoryPath(), LogFilePath());
}

void TfTesselMainForm::actKeysExecute() {
  // marvik reads the key files itself: the library the passes use is not touched.
  ShowKeys(this, SettingsFile);
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
    FitCaption(box);
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
  TTesselActionList* group = FEditor.AddGroup(name);
  {
    Raise filling(FFilling);
    const QSignalBlocker quiet(CheckListBox1);
    auto* line = new QListWidgetItem(ToQ(group->Name), CheckListBox1);
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    line->setCheckState(Qt::Unchecked);
    ShowGroupLine(line, *group);
  }
  ShowGroup();
  actRunUpdate();
}

void TfTesselMainForm::actGroupDelExecute() {
  const QList<QListWidgetItem*> selected = CheckListBox1->selectedItems();
  if (selected.isEmpty()) return;
  const int index = CheckListBox1->row(selected.first());
  if (!Confirm(ToQ(DeleteGroupQuestionText(ScriptRegistry->GetGroup(index)->Name)))) return;
  FEditor.DeleteGroup(index);
  {
    Raise filling(FFilling);
    const QSignalBlocker quiet(CheckListBox1);
    delete CheckListBox1->takeItem(index);
    CheckListBox1->clearSelection();
    CheckListBox1->setCurrentRow(-1);
  }
  ShowGroup();
  actRunUpdate();
}

void TfTesselMainForm::actAddExecute() {
  TTesselActionList* group = CurrentGroup();
  if (!group) return;
  TTesselAction* step = nullptr;
  if (!EditStep(step, ScriptRegistry->Kinds(), this)) return;
  FEditor.AddStep(*group, step);
  ShowStepRow(step);
  actRunUpdate();
}

void TfTesselMainForm::actDelExecute() {
  TTesselActionList* group = CurrentGroup();
  if (!group) return;
  std::vector<int> rows;
  for (int row = 0; row < ListView1->topLevelItemCount(); ++row)
    if (ListView1->topLevelItem(row)->isSelected()) rows.push_back(row);
  if (rows.empty() || !Confirm(ToQ(DeleteStepsQuestionText(static_cast<int>(rows.size()))))) return;
  FEditor.DeleteSteps(*group, rows);
  ShowGroup();
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
  // The editor destroys the old step; what the change needs of it is taken first.
  const TStepPlace old = TScriptEditor::PlaceOf(*group, step);
  if (!EditStep(step, ScriptRegistry->Kinds(), this)) return;
  FEditor.ReplaceStep(*group, old, step);
  ShowStepRow(step, row);
  actRunUpdate();
}
