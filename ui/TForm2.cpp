#include "ui/TForm2.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <cstdlib>

#include "platform/Cp1251.h"
#include "ui/BrowseForFolder.h"
#include "ui/Look.h"
#include "ui/ModalSeam.h"
#include "ui/TButtonEdit.h"
#include "ui/UiText.h"

namespace {

constexpr int kFieldHeight = 21;

QWidget* Band(QWidget* parent, int top, int height) {
  auto* band = new QWidget(parent);
  band->setGeometry(0, top, 440, height);
  return band;
}

void Label(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->adjustSize();
}

QLineEdit* TextEdit(QWidget* parent, const char* name, int left, int top, int width) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(left, top, width, kFieldHeight);
  edit->setValidator(new TCp1251Validator(edit));
  look::Input(edit);
  return edit;
}

QWidget* Page(QStackedWidget* stack, const std::string& name) {
  auto* page = new QWidget(stack);
  page->setObjectName(QString::fromStdString(name));
  stack->addWidget(page);
  return page;
}

}  // namespace

TForm2::TForm2(const TStepKinds& kinds, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Выбор одиночного действия над файлом"));
  setFixedSize(440, 178);
  look::Panel(this);

  QWidget* band1 = Band(this, 0, 43);
  Label(band1, QStringLiteral("Действие:"), 16, 16);
  cxComboBox_action = new QComboBox(band1);
  cxComboBox_action->setObjectName(QStringLiteral("cxComboBox_action"));
  cxComboBox_action->setEditable(false);
  cxComboBox_action->setGeometry(88, 11, 342, kFieldHeight);
  look::Input(cxComboBox_action);
  auto* line = new QFrame(band1);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(0, 41, 440, 2);

  QWidget* band2 = Band(this, 43, 48);
  cxCheckBox2 = new QCheckBox(QStringLiteral("Нужна копия результата"), band2);
  cxCheckBox2->setObjectName(QStringLiteral("cxCheckBox2"));
  cxCheckBox2->setGeometry(13, 2, 213, kFieldHeight);
  cxButtonEdit1 = new TButtonEdit(band2);
  cxButtonEdit1->setObjectName(QStringLiteral("cxButtonEdit1"));
  cxButtonEdit1->setGeometry(17, 26, 414, kFieldHeight);
  cxButtonEdit1->setEnabled(false);

  QWidget* band3 = Band(this, 91, 53);
  Notebook1 = new QStackedWidget(band3);
  Notebook1->setObjectName(QStringLiteral("Notebook1"));
  Notebook1->setGeometry(0, 0, 440, 53);

  // List entry = page, in code order; each entry carries its kind's code.
  for (const TKindPage& kind : KindPages(kinds)) {
    cxComboBox_action->addItem(ToQ(kind.Choice), kind.Code);
    QWidget* page = Page(Notebook1, kind.Name);
    int top = 0;
    for (const TStepField& field : kind.Fields) {
      TControl control{kind.Code, field};
      Label(page, ToQ(field.Label), 16, top + 8);
      switch (field.Look) {
        case TFieldLook::Beside:
          control.Text = TextEdit(page, field.Control, 151, top + 4, 280);
          top += 24;
          break;
        case TFieldLook::Below:
          control.Text = TextEdit(page, field.Control, 16, top + 25, 415);
          top += 45;
          break;
        case TFieldLook::Number:
          control.Number = new QSpinBox(page);
          control.Number->setObjectName(QString::fromLatin1(field.Control));
          control.Number->setGeometry(382, top + 4, 49, kFieldHeight);
          control.Number->setRange(field.Min, field.Max);
          control.Number->setValue(field.Missing);
          look::Input(control.Number);
          top += 24;
          break;
      }
      controls_.push_back(control);
    }
  }

  QWidget* band4 = Band(this, 144, 34);
  cxButton5 = new QPushButton(QStringLiteral("Да"), band4);
  cxButton5->setObjectName(QStringLiteral("cxButton5"));
  cxButton5->setGeometry(280 + 11, 2, 65, 25);
  cxButton5->setDefault(true);
  cxButton6 = new QPushButton(QStringLiteral("Отмена"), band4);
  cxButton6->setObjectName(QStringLiteral("cxButton6"));
  cxButton6->setGeometry(280 + 83, 2, 65, 25);

  connect(cxComboBox_action, &QComboBox::currentIndexChanged, this,
          &TForm2::cxComboBox1PropertiesChange);
  connect(cxCheckBox2, &QCheckBox::toggled, this, &TForm2::cxCheckBox2PropertiesChange);
  connect(cxButtonEdit1, &TButtonEdit::buttonClicked, this,
          &TForm2::cxButtonEdit1PropertiesButtonClick);
  connect(cxButton5, &QPushButton::clicked, this, &QDialog::accept);
  connect(cxButton6, &QPushButton::clicked, this, &QDialog::reject);

  cxComboBox_action->setCurrentIndex(0);
  Notebook1->setCurrentIndex(0);
}

void TForm2::ShowFields(const TStepFields& f) {
  cxComboBox_action->setCurrentIndex(cxComboBox_action->findData(f.Kind));
  cxCheckBox2->setChecked(f.WantCopy);
  cxButtonEdit1->setText(ToQ(f.CopyTo));
  for (TControl& control : controls_) {
    const auto page = f.Values.find(control.Kind);
    if (page == f.Values.end()) continue;
    const auto value = page->second.find(control.Field.Key);
    if (value == page->second.end()) continue;
    if (control.Text) control.Text->setText(ToQ(value->second));
    if (control.Number) control.Number->setValue(std::atoi(value->second.c_str()));
  }
}

TStepFields TForm2::Fields() const {
  TStepFields f;
  f.Kind = cxComboBox_action->currentData().toInt();
  f.WantCopy = cxCheckBox2->isChecked();
  f.CopyTo = Text(cxButtonEdit1);
  for (const TControl& control : controls_)
    f.Values[control.Kind][control.Field.Key] =
        control.Text ? Text(control.Text) : std::to_string(control.Number->value());
  return f;
}

void TForm2::cxComboBox1PropertiesChange(int index) {
  Notebook1->setCurrentIndex(index);
}

void TForm2::cxCheckBox2PropertiesChange(bool checked) {
  cxButtonEdit1->setEnabled(checked);
}

void TForm2::cxButtonEdit1PropertiesButtonClick() {
  std::string folder = Text(cxButtonEdit1);
  if (BrowseForFolder(QStringLiteral("Выбор папки для копии файла"), folder, this))
    cxButtonEdit1->setText(ToQ(folder));
}

bool EditStep(TTesselAction*& step, const TStepKinds& kinds, QWidget* parent) {
  TForm2 form(kinds, parent ? parent : QApplication::activeWindow());
  if (step) form.ShowFields(FieldsOfStep(*step));
  if (modal::Run(form) != QDialog::Accepted) return false;
  TTesselAction* built = BuildStep(kinds, form.Fields());
  if (!built) return false;
  delete step;
  step = built;
  return true;
}
