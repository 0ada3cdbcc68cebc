// Helpers of the widget tests: Windows-1251 literals, finding controls by
// name, and prepared answers for modal windows that record what they saw.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <memory>
#include <ostream>
#include <string>

#include "ui/ModalSeam.h"

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace ui_test {

// A UTF-8 literal of the test source as the system's Windows-1251 text.
std::string Cp(const char* utf8);
// The system's text as UTF-8, for messages of failed checks.
QString Q(const std::string& cp1251);

template <class T>
T* Find(const QObject* root, const char* name) {
  T* found = root->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(found, nullptr) << "no control " << name;
  return found;
}

// What a modal window showed when it was answered.
struct Seen {
  bool shown = false;
  QString title;
  QString text;        // message text, or the input box's text
  bool modal = false;  // it was the application's active modal window
  QWidget* parent = nullptr;
};

// Clicks a button of the next message box.
modal::Answer Click(QMessageBox::StandardButton button, std::shared_ptr<Seen> seen = nullptr);
// Types text into the next input box and confirms it, or cancels it.
modal::Answer Type(const QString& text, std::shared_ptr<Seen> seen = nullptr);
modal::Answer CancelInput(std::shared_ptr<Seen> seen = nullptr);
// Picks a path in the next file or folder chooser, or cancels it.
modal::Answer Pick(const QString& path, std::shared_ptr<Seen> seen = nullptr);
modal::Answer CancelChooser(std::shared_ptr<Seen> seen = nullptr);

// Runs pending events until the predicate holds or a generous limit passes.
bool WaitFor(const std::function<bool()>& predicate, int limitMs = 20000);

// Checks after each test that every modal window had its answer and every
// prepared answer was used.
class ModalGuard : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace ui_test
