#include "ui/Look.h"

#include <QPalette>
#include <QWidget>

namespace look {

QFont FormFont() {
  // Where the Windows face is missing, a narrow one keeps the captions within
  // the positions laid out for it.
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("DejaVu Sans Condensed"),
                    QStringLiteral("Liberation Sans Narrow")});
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont LogFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setPixelSize(13);
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  return font;
}

void Panel(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, PanelColour());
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void Input(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, InputColour());
  // Selected rows stay visible when the control loses the focus.
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  widget->setPalette(palette);
}

}  // namespace look
