// The step editor "Выбор одиночного действия над файлом": a kind, the kind's
// key parameters, and an optional folder for a copy of the step's result.
// Each kind's page is made from the settings the kind describes.
#pragma once

#include <QDialog>
#include <vector>

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
  explicit TForm2(const TStepKinds& kinds, QWidget* parent = nullptr);

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
  // One per setting of each kind: a text field or a number field.
  struct TControl {
    int Kind;
    TStepField Field;
    QLineEdit* Text = nullptr;
    QSpinBox* Number = nullptr;
  };
  std::vector<TControl> controls_;
  QPushButton* cxButton5;
  QPushButton* cxButton6;
};

// Runs the step editor for a new step (step null) or for the step to change.
// On "Да" the step passed in is destroyed and step holds a new, disabled step
// of the chosen kind that belongs to no group yet; true. Otherwise nothing
// changed; false.
bool EditStep(TTesselAction*& step, const TStepKinds& kinds, QWidget* parent = nullptr);
