#include "ui/Application.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLayout>
#include <QLibraryInfo>
#include <QTranslator>
#include <algorithm>

#include "ui/Look.h"
#include "ui/ModalSeam.h"

void InitApplication(QApplication& app) {
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  app.setFont(look::FormFont());
  LoadQtTranslations(app);
}

bool LoadQtTranslations(QApplication& app) {
  // Russian whatever the user's locale: the window speaks nothing else.
  auto* translator = new QTranslator(&app);
  if (translator->load(QStringLiteral("qtbase_ru"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator))
    return true;
  delete translator;
  return false;
}

void FitCaption(QWidget& dialog) {
  // Title bars use their own, larger face, usually bold; this errs on the wide side.
  QFont font = dialog.font();
  font.setBold(true);
  font.setPointSizeF(std::max<qreal>(font.pointSizeF(), kTitleFontPoints));
  const int caption = QFontMetrics(font).horizontalAdvance(dialog.windowTitle());
  dialog.setMinimumWidth(std::max(dialog.minimumWidth(), caption + kTitleBarRoom));
  // A layout that sets the dialog's least size itself would take the width
  // back; dialogs that make their layout late make it when asked for a size.
  (void)dialog.sizeHint();
  if (QLayout* layout = dialog.layout()) layout->setSizeConstraint(QLayout::SetDefaultConstraint);
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                  parent ? parent : QApplication::activeWindow());
  modal::Run(box);
}
