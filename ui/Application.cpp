#include "ui/Application.h"

#include <QApplication>

#include "ui/Look.h"
#include "ui/ModalSeam.h"

void InitApplication(QApplication& app) {
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  app.setFont(look::FormFont());
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                  parent ? parent : QApplication::activeWindow());
  modal::Run(box);
}
