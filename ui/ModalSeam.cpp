#include "ui/ModalSeam.h"

#include <QPointer>
#include <QTimer>
#include <deque>

namespace modal {
namespace {

std::deque<Answer>& Queue() {
  static std::deque<Answer> queue;
  return queue;
}
bool strictMode = false;
int unanswered = 0;

}  // namespace

int Run(QDialog& dialog) {
  dialog.setWindowModality(Qt::ApplicationModal);
  QPointer<QDialog> open(&dialog);
  if (!Queue().empty()) {
    Answer answer = std::move(Queue().front());
    Queue().pop_front();
    // Runs inside the dialog's own loop, while it is shown and modal.
    QTimer::singleShot(0, &dialog, [answer = std::move(answer), open] {
      const int result = answer(*open);
      if (open && open->isVisible()) open->done(result);
    });
  } else if (strictMode) {
    ++unanswered;
    QTimer::singleShot(0, &dialog, [open] {
      if (open) open->done(QDialog::Rejected);
    });
  }
  return dialog.exec();
}

void Prepare(Answer answer) {
  Queue().push_back(std::move(answer));
}
int Pending() {
  return static_cast<int>(Queue().size());
}
void SetStrict(bool strict) {
  strictMode = strict;
}
int Unanswered() {
  return unanswered;
}
void Reset() {
  Queue().clear();
  unanswered = 0;
}

}  // namespace modal
