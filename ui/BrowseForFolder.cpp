#include "ui/BrowseForFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "engine/uFileUtil.h"
#include "ui/Application.h"
#include "ui/ModalSeam.h"
#include "ui/UiText.h"

bool BrowseForFolder(const QString& title, std::string& folder, QWidget* owner) {
  if (!FolderExists(folder)) folder.clear();

  QFileDialog dialog(owner ? owner : QApplication::activeWindow(), title);
  dialog.setFileMode(QFileDialog::Directory);
  // Qt's own chooser everywhere, so the title always shows and tests can drive it.
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (!folder.empty()) {
    // Selected inside its parent folder, as the field names it.
    const QFileInfo info(QDir::cleanPath(QFileInfo(ToQ(folder)).absoluteFilePath()));
    if (info.isRoot()) {
      dialog.setDirectory(info.absoluteFilePath());
    } else {
      dialog.setDirectory(info.absolutePath());
      dialog.selectFile(info.absoluteFilePath());
    }
  }

  if (modal::Run(dialog) != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  const std::optional<std::string> path = FromQ(chosen.first());
  if (!path) {
    // Such a path cannot be kept in the script's Windows-1251 text.
    ShowMessage(owner,
                QStringLiteral("Путь к выбранной папке содержит символы, которых нет в "
                               "кодировке Windows-1251. Выберите другую папку."),
                QMessageBox::Warning);
    return false;
  }
  folder = *path;
  return true;
}
