// What every window of the program shares: the application title, the form
// font and the message boxes (all through the modal seam).
#pragma once

#include <QMessageBox>
#include <QString>

class QApplication;
class QWidget;

inline constexpr const char* kApplicationTitle = "Tessel scripts";

// Sets the application title and the form font.
void InitApplication(QApplication& app);

// A message box titled with the application title, with an OK button.
void ShowMessage(QWidget* parent, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::NoIcon);
