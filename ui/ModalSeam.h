// Every modal window of the program runs through here, so that tests can
// answer it in advance instead of an operator.
//
// Why it stays in the product: the window tests drive the window as shipped
// (offscreen), and a modal box blocks in Qt's own loop, where nothing of the
// window's state could hand a test its answer. Without a prepared answer it
// is QDialog::exec; nothing in the product prepares one.
#pragma once

#include <QDialog>
#include <functional>

namespace modal {

// Works on the open dialog (reads it, fills it, clicks it) and returns the
// result to close it with, unless it closed the dialog itself.
using Answer = std::function<int(QDialog& dialog)>;

// Shows the dialog application-modally and returns its result. When an
// answer is prepared, the first one takes the operator's place.
int Run(QDialog& dialog);

// Test side. Answers are used in the order prepared; a dialog opened from
// inside an answer takes the next one.
void Prepare(Answer answer);
int Pending();
// Strict: a dialog without a prepared answer is rejected at once and counted,
// so a test never waits for an operator.
void SetStrict(bool strict);
int Unanswered();
// Forgets prepared answers and the count.
void Reset();

}  // namespace modal
