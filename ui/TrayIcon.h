// The window's icon in the system tray, where there is a tray: its picture
// and tip follow the tray state, a click (or "Показать окно") brings the
// window up, and failure notifications go out through it. Without a tray it
// makes nothing and every call does nothing.
#pragma once

#include <QObject>
#include <QString>

#include "runtime/TrayState.h"

class QAction;
class QSystemTrayIcon;
class QWidget;

class TTrayIcon : public QObject {
  Q_OBJECT

 public:
  // extra goes into the icon's menu after "Показать окно".
  TTrayIcon(QWidget* window, QAction* extra);
  bool Available() const { return icon_ != nullptr; }
  void Show(TTrayLook look, const QString& tip);
  void Notify(const QString& title, const QString& text);

 signals:
  // The operator opened the window from the tray.
  void Opened();

 private:
  void OpenWindow();

  QWidget* window_;
  QSystemTrayIcon* icon_ = nullptr;
};
