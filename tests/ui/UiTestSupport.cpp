#include "tests/ui/UiTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>

#include "platform/Cp1251.h"

namespace ui_test {

std::string Cp(const char* utf8) {
  std::optional<std::string> text = platform::Utf8ToCp1251(utf8);
  EXPECT_TRUE(text.has_value()) << utf8;
  return text.value_or("");
}

QString Q(const std::string& cp1251) {
  return QString::fromStdString(platform::Cp1251ToUtf8(cp1251));
}

namespace {

void Record(QDialog& dialog, const std::shared_ptr<Seen>& seen, const QString& text) {
  if (!seen) return;
  seen->shown = true;
  seen->title = dialog.windowTitle();
  seen->text = text;
  seen->modal = QApplication::activeModalWidget() == &dialog;
  seen->parent = dialog.parentWidget();
}

}  // namespace

modal::Answer Click(QMessageBox::StandardButton button, std::shared_ptr<Seen> seen) {
  return [button, seen](QDialog& dialog) {
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    EXPECT_NE(box, nullptr) << "expected a message box, got " << dialog.metaObject()->className();
    if (!box) return int(QDialog::Rejected);
    Record(dialog, seen, box->text());
    QAbstractButton* b = box->button(button);
    EXPECT_NE(b, nullptr) << "the box has no such button";
    if (b) b->click();
    return int(QDialog::Rejected);
  };
}

modal::Answer Type(const QString& text, std::shared_ptr<Seen> seen) {
  return [text, seen](QDialog& dialog) {
    auto* box = qobject_cast<QInputDialog*>(&dialog);
    EXPECT_NE(box, nullptr) << "expected an input box, got " << dialog.metaObject()->className();
    if (!box) return int(QDialog::Rejected);
    Record(dialog, seen, box->textValue());
    box->setTextValue(text);
    return int(QDialog::Accepted);
  };
}

modal::Answer CancelInput(std::shared_ptr<Seen> seen) {
  return [seen](QDialog& dialog) {
    auto* box = qobject_cast<QInputDialog*>(&dialog);
    EXPECT_NE(box, nullptr);
    Record(dialog, seen, box ? box->textValue() : QString());
    return int(QDialog::Rejected);
  };
}

namespace {

QString ChooserState(QFileDialog& chooser) {
  // The name box holds what the chooser has selected on opening.
  auto* name = chooser.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  return name ? name->text() : QString();
}

}  // namespace

modal::Answer Pick(const QString& path, std::shared_ptr<Seen> seen) {
  return [path, seen](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    EXPECT_NE(chooser, nullptr) << "expected a chooser, got " << dialog.metaObject()->className();
    if (!chooser) return int(QDialog::Rejected);
    Record(dialog, seen, ChooserState(*chooser));
    // Closed by the seam rather than by the chooser's own accept, which would
    // open a box of its own for a path it does not like.
    chooser->selectFile(path);
    return int(QDialog::Accepted);
  };
}

modal::Answer CancelChooser(std::shared_ptr<Seen> seen) {
  return [seen](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    EXPECT_NE(chooser, nullptr);
    Record(dialog, seen, chooser ? ChooserState(*chooser) : QString());
    return int(QDialog::Rejected);
  };
}

bool WaitFor(const std::function<bool()>& predicate, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!predicate()) {
    if (clock.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

void ModalGuard::SetUp() {
  modal::Reset();
}

void ModalGuard::TearDown() {
  EXPECT_EQ(modal::Unanswered(), 0) << "a modal window opened without a prepared answer";
  EXPECT_EQ(modal::Pending(), 0) << "a prepared answer was not used";
  modal::Reset();
}

}  // namespace ui_test
