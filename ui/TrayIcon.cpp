#include "ui/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QWidget>

TTrayIcon::TTrayIcon(QWidget* window, QAction* extra) : QObject(window), window_(window) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  icon_ = new QSystemTrayIcon(this);
  auto* menu = new QMenu(window);
  menu->addAction(QStringLiteral("Показать окно"), this, &TTrayIcon::OpenWindow);
  if (extra) menu->addAction(extra);
  icon_->setContextMenu(menu);
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) OpenWindow();
  });
  connect(icon_, &QSystemTrayIcon::messageClicked, this, &TTrayIcon::OpenWindow);
  Show(TTrayLook::Idle, QString());
  icon_->show();
}

void TTrayIcon::Show(TTrayLook look, const QString& tip) {
  if (!icon_) return;
  QStyle::StandardPixmap picture = QStyle::SP_MediaStop;
  if (look == TTrayLook::Running) picture = QStyle::SP_MediaPlay;
  if (look == TTrayLook::Failures) picture = QStyle::SP_MessageBoxWarning;
  icon_->setIcon(QApplication::style()->standardIcon(picture));
  icon_->setToolTip(tip);
}

void TTrayIcon::Notify(const QString& title, const QString& text) {
  if (icon_) icon_->showMessage(title, text, QSystemTrayIcon::Warning);
}

void TTrayIcon::OpenWindow() {
  window_->showNormal();
  window_->raise();
  window_->activateWindow();
  emit Opened();
}
