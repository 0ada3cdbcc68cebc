// A modal box that shows a text to read and copy, with one button to close it.
#pragma once

#include <QString>

class QBoxLayout;
class QDialog;
class QWidget;

// The text view is named "TextBoxText", for tests.
void ShowTextBox(QWidget* parent, const QString& title, const QString& text);

// The end of a box to read: a Close button under the layout's contents, the
// size, the caption fitted; then shown modal.
void RunReadingBox(QDialog& box, QBoxLayout& layout, int width, int height);
