// The main window's regions and controls, from top to bottom: the top bar,
// the key folders, the work area (groups | group fields and steps) and the log.
#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdint>
#include <limits>

#include "runtime/TickGate.h"
#include "ui/LogView.h"
#include "ui/Look.h"
#include "ui/TButtonEdit.h"
#include "ui/TfTesselMainForm.h"
#include "ui/TrayIcon.h"

namespace {

QFrame* Panel(QWidget* parent, const char* name, int height = -1) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  look::Panel(panel);
  if (height >= 0) panel->setFixedHeight(height);
  return panel;
}

QFrame* Bevel(QWidget* parent, const char* name) {
  auto* line = new QFrame(parent);
  line->setObjectName(QString::fromLatin1(name));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

TButtonEdit* Field(QWidget* parent, const char* name) {
  auto* edit = new TButtonEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setFixedHeight(21);
  return edit;
}

// A group's number field at the right end of its row, its label and the
// field sharing one tip.
QSpinBox* NumberField(QWidget* parent, const char* name, int maximum, QLabel* label,
                      const QString& tip) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  spin->setRange(0, maximum);
  spin->setFixedSize(65, 21);
  look::Input(spin);
  label->setToolTip(tip);
  spin->setToolTip(tip);
  return spin;
}

QToolButton* Button(QWidget* parent, QAction* action) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QStringLiteral("btn_") + action->objectName());
  button->setDefaultAction(action);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setMinimumWidth(75);
  button->setFixedHeight(25);
  return button;
}

QHBoxLayout* ButtonBar(QFrame* bar) {
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 4, 4, 4);
  row->setSpacing(4);
  return row;
}

}  // namespace

QAction* TfTesselMainForm::MakeAction(const char* name, const QString& caption,
                                      void (TfTesselMainForm::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  if (handler) connect(action, &QAction::triggered, this, handler);
  addAction(action);
  return action;
}

void TfTesselMainForm::BuildLayout() {
  setObjectName(QStringLiteral("fTesselMainForm"));
  setWindowTitle(QStringLiteral("Tessel scripts"));
  setFont(look::FormFont());

  actRun = MakeAction("actRun", QStringLiteral("Пуск"), nullptr);
  actRun->setProperty("Tag", 0);
  actStop = MakeAction("actStop", QStringLiteral("Стоп"), nullptr);
  actStop->setProperty("Tag", 1);
  connect(actRun, &QAction::triggered, this,
          [this] { actStopExecute(actRun->property("Tag").toInt()); });
  connect(actStop, &QAction::triggered, this,
          [this] { actStopExecute(actStop->property("Tag").toInt()); });
  actSave = MakeAction("actSave", QStringLiteral("Сохранить"), &TfTesselMainForm::actSaveExecute);
  actLoad =
      MakeAction("actLoad", QStringLiteral("Восстановить"), &TfTesselMainForm::actLoadExecute);
  actGroupAdd =
      MakeAction("actGroupAdd", QStringLiteral("Добавить"), &TfTesselMainForm::actGroupAddExecute);
  actGroupDel =
      MakeAction("actGroupDel", QStringLiteral("Удалить"), &TfTesselMainForm::actGroupDelExecute);
  actAdd = MakeAction("actAdd", QStringLiteral("Добавить"), &TfTesselMainForm::actAddExecute);
  actDel = MakeAction("actDel", QStringLiteral("Удалить"), &TfTesselMainForm::actDelExecute);
  actChange =
      MakeAction("actChange", QStringLiteral("Изменить"), &TfTesselMainForm::actChangeExecute);
  actMaskList = MakeAction("actMaskList", QStringLiteral("Какие файлы возьмёт маска..."),
                           &TfTesselMainForm::actMaskListExecute);
  actCheck = MakeAction("actCheck", QStringLiteral("Проверить сценарий"),
                        &TfTesselMainForm::actCheckExecute);
  actHistory = MakeAction("actHistory", QStringLiteral("История..."),
                          &TfTesselMainForm::actHistoryExecute);
  actKeys = MakeAction("actKeys", QStringLiteral("Ключи..."), &TfTesselMainForm::actKeysExecute);

  actStartInTray = MakeAction("actStartInTray", QStringLiteral("Запускать свёрнутым в трей"), nullptr);
  actStartInTray->setCheckable(true);
  connect(actStartInTray, &QAction::triggered, this, &TfTesselMainForm::actStartInTrayExecute);
  FTrayIcon = new TTrayIcon(this, actStartInTray);
  connect(FTrayIcon, &TTrayIcon::Opened, this, &TfTesselMainForm::Looked);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  connect(Timer1, &QTimer::timeout, this, &TfTesselMainForm::Timer1Timer);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  // Top bar: interval, "Пуск", "Стоп"; "Сохранить" and "Восстановить" at the right edge.
  Panel8 = Panel(this, "Panel8", 38);
  auto* top = ButtonBar(Panel8);
  top->setContentsMargins(8, 6, 8, 6);
  Label1 = Label(Panel8, "Label1", QStringLiteral("Интервал (сек):"));
  cxSpinEdit1 = new QSpinBox(Panel8);
  cxSpinEdit1->setObjectName(QStringLiteral("cxSpinEdit1"));
  cxSpinEdit1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  cxSpinEdit1->setRange(3, kMaxIntervalSeconds);
  cxSpinEdit1->setValue(3);
  cxSpinEdit1->setFixedSize(65, 21);
  look::Input(cxSpinEdit1);
  top->addWidget(Label1);
  top->addWidget(cxSpinEdit1);
  top->addSpacing(8);
  top->addWidget(Button(Panel8, actRun));
  top->addWidget(Button(Panel8, actStop));
  top->addStretch(1);
  top->addWidget(Button(Panel8, actKeys));
  top->addWidget(Button(Panel8, actHistory));
  top->addWidget(Button(Panel8, actCheck));
  top->addWidget(Button(Panel8, actSave));
  top->addWidget(Button(Panel8, actLoad));
  outer->addWidget(Panel8);

  Bevel1 = Bevel(this, "Bevel1");
  outer->addWidget(Bevel1);

  // Key folders.
  Panel1 = Panel(this, "Panel1", 60);
  auto* keys = new QGridLayout(Panel1);
  keys->setContentsMargins(8, 6, 8, 6);
  keys->setHorizontalSpacing(8);
  keys->setVerticalSpacing(4);
  Label11 = Label(Panel1, "Label11", QStringLiteral("Путь к открытым ключам:"));
  cxButtonEdit1 = Field(Panel1, "cxButtonEdit1");
  Label2 = Label(Panel1, "Label2", QStringLiteral("Путь к секретным ключам:"));
  cxButtonEdit2 = Field(Panel1, "cxButtonEdit2");
  keys->addWidget(Label11, 0, 0);
  keys->addWidget(cxButtonEdit1, 0, 1);
  keys->addWidget(Label2, 1, 0);
  keys->addWidget(cxButtonEdit2, 1, 1);
  keys->setColumnStretch(1, 1);
  outer->addWidget(Panel1);

  Bevel2 = Bevel(this, "Bevel2");
  outer->addWidget(Bevel2);

  // Work area over the log, with a splitter between them.
  Splitter2 = new QSplitter(Qt::Vertical, this);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setChildrenCollapsible(false);
  outer->addWidget(Splitter2, 1);

  Panel6 = Panel(Splitter2, "Panel6");
  auto* work = new QHBoxLayout(Panel6);
  work->setContentsMargins(0, 0, 0, 0);
  Splitter1 = new QSplitter(Qt::Horizontal, Panel6);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setChildrenCollapsible(false);
  work->addWidget(Splitter1);

  // Left: the groups.
  Panel4 = Panel(Splitter1, "Panel4");
  auto* left = new QVBoxLayout(Panel4);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  CheckListBox1 = new QListWidget(Panel4);
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  CheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  look::Input(CheckListBox1);
  left->addWidget(CheckListBox1, 1);
  Panel5 = Panel(Panel4, "Panel5", 33);
  auto* groupButtons = ButtonBar(Panel5);
  groupButtons->addWidget(Button(Panel5, actGroupAdd));
  groupButtons->addWidget(Button(Panel5, actGroupDel));
  groupButtons->addStretch(1);
  left->addWidget(Panel5);

  // Right: the selected group's fields and steps.
  Panel2 = Panel(Splitter1, "Panel2");
  auto* right = new QVBoxLayout(Panel2);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(0);
  Panel3 = Panel(Panel2, "Panel3", 90);
  auto* fields = new QGridLayout(Panel3);
  fields->setContentsMargins(8, 6, 8, 6);
  fields->setHorizontalSpacing(8);
  fields->setVerticalSpacing(4);
  Label12 = Label(Panel3, "Label12", QStringLiteral("Маска для исходных файлов"));
  cxButtonEdit3 = Field(Panel3, "cxButtonEdit3");
  // The field's own menu offers the mask test below its editing commands.
  cxButtonEdit3->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(cxButtonEdit3, &QWidget::customContextMenuRequested, this,
          &TfTesselMainForm::cxButtonEdit3ContextMenu);
  Label13 = Label(Panel3, "Label13", QStringLiteral("Результат положить в"));
  cxButtonEdit4 = Field(Panel3, "cxButtonEdit4");
  Label3 = Label(Panel3, "Label3", QStringLiteral("Папка для \"плохих\" файлов"));
  cxButtonEdit5 = Field(Panel3, "cxButtonEdit5");
  // The settle time shares the mask's row, at its right end: both say which
  // files a pass takes, and the panel keeps its three rows.
  LabelSettle = Label(Panel3, "LabelSettle", QStringLiteral("Выдержка (сек):"));
  cxSpinEditSettle = NumberField(
      Panel3, "cxSpinEditSettle", std::numeric_limits<int32_t>::max(), LabelSettle,
      QStringLiteral("Файл берётся в обработку, только когда его размер и время изменения не "
                     "менялись указанное число секунд; 0 - сразу"));
  // The duplicate guard shares the bad-files row: that is where a repeat goes.
  LabelDuplicate = Label(Panel3, "LabelDuplicate", QStringLiteral("Повторы (дней):"));
  cxSpinEditDuplicate = NumberField(
      Panel3, "cxSpinEditDuplicate", std::numeric_limits<int32_t>::max() / 86400, LabelDuplicate,
      QStringLiteral("Файл с тем же содержимым (SHA-256), который эта группа уже доставила за "
                     "указанное число дней, переносится в папку для \"плохих\" файлов; "
                     "0 - не проверять"));
  fields->addWidget(Label12, 0, 0);
  fields->addWidget(cxButtonEdit3, 0, 1);
  fields->addWidget(LabelSettle, 0, 2);
  fields->addWidget(cxSpinEditSettle, 0, 3);
  fields->addWidget(Label13, 1, 0);
  fields->addWidget(cxButtonEdit4, 1, 1, 1, 3);
  fields->addWidget(Label3, 2, 0);
  fields->addWidget(cxButtonEdit5, 2, 1);
  fields->addWidget(LabelDuplicate, 2, 2);
  fields->addWidget(cxSpinEditDuplicate, 2, 3);
  fields->setColumnStretch(1, 1);
  right->addWidget(Panel3);

  ListView1 = new QTreeWidget(Panel2);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setColumnCount(4);
  ListView1->setHeaderLabels({QStringLiteral("Шаг, №"), QStringLiteral("Действие"),
                              QStringLiteral("Параметры"), QStringLiteral("Копия")});
  ListView1->setColumnWidth(0, 60);
  ListView1->setColumnWidth(1, 140);
  ListView1->setColumnWidth(2, 170);
  ListView1->setColumnWidth(3, 220);
  ListView1->setRootIsDecorated(false);
  ListView1->setItemsExpandable(false);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->header()->setStretchLastSection(false);
  look::Input(ListView1);
  right->addWidget(ListView1, 1);

  Panel7 = Panel(Panel2, "Panel7", 33);
  auto* stepButtons = ButtonBar(Panel7);
  stepButtons->addWidget(Button(Panel7, actAdd));
  stepButtons->addWidget(Button(Panel7, actDel));
  stepButtons->addWidget(Button(Panel7, actChange));
  stepButtons->addStretch(1);
  right->addWidget(Panel7);

  Splitter1->addWidget(Panel4);
  Splitter1->addWidget(Panel2);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({169, 637});

  // The log view.
  Memo1 = new TLogView(Splitter2);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFont(look::LogFont());
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  look::Input(Memo1);

  Splitter2->addWidget(Panel6);
  Splitter2->addWidget(Memo1);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({275, 130});

  // The status line under the log: the last pass, the counts since "Пуск"
  // and the pass under way.
  PanelStatus = Panel(this, "PanelStatus", 20);
  auto* status = new QHBoxLayout(PanelStatus);
  status->setContentsMargins(8, 0, 8, 0);
  StatusLine = Label(PanelStatus, "StatusLine", QString());
  status->addWidget(StatusLine, 1);
  outer->addWidget(PanelStatus);

  // Outer size 814 x 535 with the frame.
  resize(806, 508);
}
