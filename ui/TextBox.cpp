#include "ui/TextBox.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ui/Application.h"
#include "ui/Look.h"
#include "ui/ModalSeam.h"

void ShowTextBox(QWidget* parent, const QString& title, const QString& text) {
  QDialog box(parent);
  box.setWindowTitle(title);
  look::Panel(&box);
  auto* layout = new QVBoxLayout(&box);
  auto* view = new QPlainTextEdit(text, &box);
  view->setObjectName(QStringLiteral("TextBoxText"));
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(look::LogFont());
  look::Input(view);
  layout->addWidget(view);
  RunReadingBox(box, *layout, 560, 360);
}

void RunReadingBox(QDialog& box, QBoxLayout& layout, int width, int height) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &box);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  layout.addWidget(buttons);
  box.resize(width, height);
  FitCaption(box);
  modal::Run(box);
}
