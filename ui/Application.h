// What every window of the program shares: the application title, the form
// font and the message boxes (all through the modal seam).
#pragma once

#include <QMessageBox>
#include <QString>

class QApplication;
class QWidget;

inline constexpr const char* kApplicationTitle = "Tessel scripts";
// What FitCaption allows for a title bar: the face's least size in points,
// and the pixels of its icon, buttons and margins.
inline constexpr double kTitleFontPoints = 10;
inline constexpr int kTitleBarRoom = 150;

// Sets the application title and the form font, and loads Qt's Russian texts.
void InitApplication(QApplication& app);
// Qt's own texts (standard buttons, file and folder choosers) in Russian,
// from the translations of the Qt installation; false when they are missing
// there (the texts then stay English).
bool LoadQtTranslations(QApplication& app);

// Widens a dialog so that the window manager's title bar can show its whole
// caption beside the bar's icon and buttons.
void FitCaption(QWidget& dialog);

// A message box titled with the application title, with an OK button.
void ShowMessage(QWidget* parent, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::NoIcon);
