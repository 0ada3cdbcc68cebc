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

QWidget* Page(QStackedWidget* stack, const char* name) {
  auto* page = new QWidget(stack);
  page->setObjectName(QString::fromLatin1(name));
  stack->addWidget(page);
  return page;
}

std::string Text(const QLineEdit* edit) {
  // The validator lets only Windows-1251 text in.
  return FromQ(edit->text()).value_or(platform::Utf8ToCp1251Lossy(edit->text().toStdString()));
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
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
  // Item index = kind code = page index.
  cxComboBox_action->addItems(
      {QStringLiteral("Подписать..."), QStringLiteral("Проверить подпись..."),
       QStringLiteral("Удалить подпись..."), QStringLiteral("Зашифровать..."),
       QStringLiteral("Расшифровать..."), QStringLiteral("Ничего не делать...")});
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

  QWidget* page = Page(Notebook1, "Sign");
  Label(page, QStringLiteral("Id ключа подписи:"), 16, 8);
  cxTextEdit7 = TextEdit(page, "cxTextEdit7", 151, 4, 280);

  page = Page(Notebook1, "CheckSign");
  Label(page, QStringLiteral("Список Id открытых ключей (через точку с запятой)"), 16, 8);
  cxTextEdit2 = TextEdit(page, "cxTextEdit2", 16, 25, 415);

  page = Page(Notebook1, "DelSign");
  Label(page, QStringLiteral("Количество удаляемых подписей; если -1, то удаляются все подписи"),
        16, 8);
  cxSpinEdit1 = new QSpinBox(page);
  cxSpinEdit1->setObjectName(QStringLiteral("cxSpinEdit1"));
  cxSpinEdit1->setGeometry(382, 4, 49, kFieldHeight);
  cxSpinEdit1->setRange(-1, 100);
  cxSpinEdit1->setValue(-1);
  look::Input(cxSpinEdit1);

  page = Page(Notebook1, "EnCrypt");
  Label(page, QStringLiteral("Id ключа отправителя:"), 16, 8);
  cxTextEdit3 = TextEdit(page, "cxTextEdit3", 151, 4, 280);
  Label(page, QStringLiteral("Id ключей получателей:"), 16, 32);
  cxTextEdit4 = TextEdit(page, "cxTextEdit4", 151, 28, 280);

  page = Page(Notebook1, "DeCrypt");
  Label(page, QStringLiteral("Id ключа получателя:"), 16, 8);
  cxTextEdit_idreceiver = TextEdit(page, "cxTextEdit_idreceiver", 151, 4, 280);
  Label(page, QStringLiteral("Id ключа отправителя:"), 16, 32);
  cxTextEdit_idsender = TextEdit(page, "cxTextEdit_idsender", 151, 28, 280);

  Page(Notebook1, "None");

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
  cxComboBox_action->setCurrentIndex(f.Kind);
  cxCheckBox2->setChecked(f.WantCopy);
  cxButtonEdit1->setText(ToQ(f.CopyTo));
  cxTextEdit7->setText(ToQ(f.SignKeyId));
  cxTextEdit2->setText(ToQ(f.CheckKeyList));
  cxSpinEdit1->setValue(f.DeleteCount);
  cxTextEdit3->setText(ToQ(f.EncryptSenderKey));
  cxTextEdit4->setText(ToQ(f.EncryptReceivers));
  cxTextEdit_idreceiver->setText(ToQ(f.DecryptReceiverKey));
  cxTextEdit_idsender->setText(ToQ(f.DecryptSenderKey));
}

TStepFields TForm2::Fields() const {
  TStepFields f;
  f.Kind = cxComboBox_action->currentIndex();
  f.WantCopy = cxCheckBox2->isChecked();
  f.CopyTo = Text(cxButtonEdit1);
  f.SignKeyId = Text(cxTextEdit7);
  f.CheckKeyList = Text(cxTextEdit2);
  f.DeleteCount = cxSpinEdit1->value();
  f.EncryptSenderKey = Text(cxTextEdit3);
  f.EncryptReceivers = Text(cxTextEdit4);
  f.DecryptReceiverKey = Text(cxTextEdit_idreceiver);
  f.DecryptSenderKey = Text(cxTextEdit_idsender);
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

bool EditStep(TTesselAction*& step, QWidget* parent) {
  TForm2 form(parent ? parent : QApplication::activeWindow());
  if (step) form.ShowFields(FieldsOfStep(*step));
  if (modal::Run(form) != QDialog::Accepted) return false;
  TTesselAction* built = BuildStep(form.Fields());
  if (!built) return false;
  delete step;
  step = built;
  return true;
}
