#include "ui/TButtonEdit.h"

#include <QStyle>
#include <QToolButton>

#include "ui/Look.h"
#include "ui/UiText.h"

TButtonEdit::TButtonEdit(QWidget* parent) : QLineEdit(parent), button_(new QToolButton(this)) {
  button_->setObjectName(QStringLiteral("Button"));
  button_->setText(QStringLiteral("…"));
  button_->setCursor(Qt::ArrowCursor);
  button_->setFocusPolicy(Qt::NoFocus);
  connect(button_, &QToolButton::clicked, this, &TButtonEdit::buttonClicked);
  setValidator(new TCp1251Validator(this));
  look::Input(this);
}

void TButtonEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  const int side = height() - 2 * frame;
  button_->setGeometry(width() - frame - side, frame, side, side);
  setTextMargins(0, 0, side, 0);
}
