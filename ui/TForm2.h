// The step editor "Выбор одиночного действия над файлом": a kind, the kind's
// key parameters, and an optional folder for a copy of the step's result.
#pragma once

#include <QDialog>

#include "ui/StepFields.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class TButtonEdit;

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

  // Shows an existing step: its kind's page, its copy folder, its fields.
  void ShowFields(const TStepFields& fields);
  // What the controls hold now.
  TStepFields Fields() const;

 private:
  void cxComboBox1PropertiesChange(int index);
  void cxCheckBox2PropertiesChange(bool checked);
  void cxButtonEdit1PropertiesButtonClick();

  QComboBox* cxComboBox_action;
  QCheckBox* cxCheckBox2;
  TButtonEdit* cxButtonEdit1;
  QStackedWidget* Notebook1;
  QLineEdit* cxTextEdit7;
  QLineEdit* cxTextEdit2;
  QSpinBox* cxSpinEdit1;
  QLineEdit* cxTextEdit3;
  QLineEdit* cxTextEdit4;
  QLineEdit* cxTextEdit_idreceiver;
  QLineEdit* cxTextEdit_idsender;
  QPushButton* cxButton5;
  QPushButton* cxButton6;
};

// Runs the step editor for a new step (step null) or for the step to change.
// On "Да" the step passed in is destroyed and step holds a new, disabled step
// of the chosen kind that belongs to no group yet; true. Otherwise nothing
// changed; false.
bool EditStep(TTesselAction*& step, QWidget* parent = nullptr);
