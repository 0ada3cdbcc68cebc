// A modal box that shows a text to read and copy, with one button to close it.
#pragma once

#include <QString>

class QWidget;

// The text view is named "TextBoxText", for tests.
void ShowTextBox(QWidget* parent, const QString& title, const QString& text);
