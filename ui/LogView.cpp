#include "ui/LogView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "ui/Look.h"

TLogView::TLogView(QWidget* parent) : QPlainTextEdit(parent) {
  setMaximumBlockCount(kMaxLines);
  QScrollBar* bar = verticalScrollBar();
  // Only the operator moves the view away from the newest line; he returns
  // to following by scrolling to the end.
  connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
    if (!adjusting_) follow_ = value >= bar->maximum();
  });
  // New lines and a changed size move the end; a following view goes with it.
  connect(bar, &QScrollBar::rangeChanged, this, [this] {
    if (follow_ && !adjusting_) ScrollToNewest();
  });
}

template <class Change>
void TLogView::Keeping(Change change) {
  const bool follow = follow_;
  const bool adjusting = adjusting_;
  adjusting_ = true;
  change();
  adjusting_ = adjusting;
  follow_ = follow;
  if (follow_) ScrollToNewest();
}

void TLogView::ScrollToNewest() {
  const bool adjusting = adjusting_;
  adjusting_ = true;
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  adjusting_ = adjusting;
}

void TLogView::AddLines(const std::vector<TLine>& lines) {
  if (lines.empty()) return;
  Keeping([&] {
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat normal;
    QTextCharFormat failure;
    failure.setForeground(look::FailureColour());
    for (const TLine& line : lines) {
      // The first line goes into the empty block a new view has.
      if (!document()->isEmpty()) cursor.insertBlock(QTextBlockFormat(), normal);
      cursor.insertText(line.Text, line.Failure ? failure : normal);
    }
    cursor.endEditBlock();
  });
}

bool TLogView::ShowsFailure(const QTextBlock& block) {
  for (auto it = block.begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().foreground().color() == look::FailureColour()) return true;
  return false;
}

void TLogView::resizeEvent(QResizeEvent* event) {
  Keeping([&] { QPlainTextEdit::resizeEvent(event); });
}
