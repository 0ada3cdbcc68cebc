// Colours and fonts of the program's windows.
#pragma once

#include <QColor>
#include <QFont>

class QWidget;

namespace look {

inline QColor PanelColour() {
  return QColor(164, 196, 235);
}
inline QColor InputColour() {
  return QColor(217, 234, 247);
}
// Log lines that report a failure: a dark red that reads well on the input colour.
inline QColor FailureColour() {
  return QColor(176, 0, 0);
}

// "MS Sans Serif", 8 points; the platform substitutes a close face.
QFont FormFont();
// "Courier New" of 13 pixels, a fixed-pitch face wherever it is missing.
QFont LogFont();

// Gives a panel (labels, buttons) its background.
void Panel(QWidget* widget);
// Gives an input control its background.
void Input(QWidget* widget);

}  // namespace look
