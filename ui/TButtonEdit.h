// A text field with one browse button showing an ellipsis at its right end.
#pragma once

#include <QLineEdit>

class QToolButton;

class TButtonEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TButtonEdit(QWidget* parent = nullptr);
  QToolButton* Button() const { return button_; }

 signals:
  void buttonClicked();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* button_;
};
