#include "ui/KeysDialog.h"

#include <QDialog>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "runtime/KeyTable.h"
#include "ui/Look.h"
#include "ui/TextBox.h"
#include "ui/UiText.h"

void ShowKeys(QWidget* parent, const std::string& settingsFile) {
  const TKeyTable table = ReadKeyTable(settingsFile);
  QDialog box(parent);
  box.setWindowTitle(QStringLiteral("Ключи сценария"));
  look::Panel(&box);
  auto* layout = new QVBoxLayout(&box);
  auto* source = new QLabel(table.Error.empty()
                                ? QStringLiteral("Ключи обеих папок сценария %1 (как он сохранён)")
                                      .arg(ToQ(settingsFile))
                                : ToQ(table.Error),
                            &box);
  source->setObjectName(QStringLiteral("KeysSource"));
  source->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(source);
  auto* view = new QTreeWidget(&box);
  view->setObjectName(QStringLiteral("KeysTable"));
  view->setRootIsDecorated(false);
  QStringList header;
  for (const std::string& name : table.Header) header << ToQ(name);
  view->setHeaderLabels(header);
  for (const std::vector<std::string>& row : table.Rows) {
    QStringList cells;
    for (const std::string& cell : row) cells << ToQ(cell);
    new QTreeWidgetItem(view, cells);
  }
  for (int c = 0; c < view->columnCount(); ++c) view->resizeColumnToContents(c);
  look::Input(view);
  layout->addWidget(view, 1);
  RunReadingBox(box, *layout, 900, 360);
}
