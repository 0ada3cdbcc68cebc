#include "ui/HistoryDialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cerrno>

#include "engine/uFileUtil.h"
#include "history/HistorySearch.h"
#include "history/RoadLog.h"
#include "history/RoadText.h"
#include "platform/Files.h"
#include "ui/Application.h"
#include "ui/Look.h"
#include "ui/ModalSeam.h"
#include "ui/UiText.h"

namespace {

constexpr int kRecordRole = Qt::UserRole;

QDateEdit* DateEdit(QWidget* parent, const char* name) {
  auto* edit = new QDateEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setCalendarPopup(true);
  edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  look::Input(edit);
  return edit;
}

// A day of the range; the earliest the edit allows is no bound.
std::string Day(const QDateEdit* edit) {
  if (edit->date() == edit->minimumDate()) return {};
  return edit->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

// What the road's log lines come from: the files that could not be read,
// then the log (and the archives read besides it) the lines are of.
QStringList LogLinesHeading(const std::string& logPath, const std::vector<TRoadLogFile>& files,
                            bool none) {
  QStringList heading, archives;
  bool anyRead = false;
  for (const TRoadLogFile& file : files) {
    const bool isLog = file.Path == logPath;
    if (file.Error == EBADMSG)
      heading << QStringLiteral("Архив журнала %1 повреждён").arg(ToQ(file.Path));
    else if (file.Error)
      heading << (isLog ? QStringLiteral("Журнал %1 не читается: %2")
                        : QStringLiteral("Архив журнала %1 не читается: %2"))
                     .arg(ToQ(file.Path), ToQ(platform::ErrorText(file.Error)));
    anyRead = anyRead || !file.Error;
    if (!file.Error && !isLog) archives << ToQ(ExtractFileName(file.Path));
  }
  if (!anyRead) return heading;
  const QString log = ToQ(logPath), read = archives.join(QStringLiteral(", "));
  if (none)
    heading << (archives.isEmpty()
                    ? QStringLiteral("В журнале %1 строк об этом файле нет").arg(log)
                    : QStringLiteral("В журнале %1 и его архивах %2 строк об этом файле нет")
                          .arg(log, read));
  else
    heading << (archives.isEmpty()
                    ? QStringLiteral("Строки журнала %1:").arg(log)
                    : QStringLiteral("Строки журнала %1 и его архивов %2:").arg(log, read));
  return heading;
}

}  // namespace

THistoryDialog::THistoryDialog(std::string historyPath, std::string logPath, QWidget* parent,
                               THistorySearchJob::Query query)
    : QDialog(parent),
      historyPath_(std::move(historyPath)),
      logPath_(std::move(logPath)),
      query_(std::move(query)) {
  setWindowTitle(QStringLiteral("История файлов"));
  look::Panel(this);
  auto* layout = new QVBoxLayout(this);

  auto* bar = new QHBoxLayout;
  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("HistorySearch"));
  search_->setPlaceholderText(QStringLiteral("Имя файла, маска или SHA-256"));
  search_->setValidator(new TCp1251Validator(search_));
  look::Input(search_);
  from_ = DateEdit(this, "HistoryFrom");
  from_->setMinimumDate(QDate(2000, 1, 1));
  from_->setSpecialValueText(QStringLiteral("с начала"));
  from_->setDate(from_->minimumDate());
  to_ = DateEdit(this, "HistoryTo");
  to_->setDate(QDate::currentDate());
  auto* find = new QPushButton(QStringLiteral("Найти"), this);
  find->setObjectName(QStringLiteral("HistoryFind"));
  bar->addWidget(new QLabel(QStringLiteral("Файл:"), this));
  bar->addWidget(search_, 1);
  bar->addWidget(new QLabel(QStringLiteral("с"), this));
  bar->addWidget(from_);
  bar->addWidget(new QLabel(QStringLiteral("по"), this));
  bar->addWidget(to_);
  bar->addWidget(find);
  layout->addLayout(bar);

  auto* split = new QSplitter(Qt::Vertical, this);
  table_ = new QTreeWidget(split);
  table_->setObjectName(QStringLiteral("HistoryTable"));
  table_->setRootIsDecorated(false);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setHeaderLabels({QStringLiteral("Взят"), QStringLiteral("Группа"), QStringLiteral("Файл"),
                           QStringLiteral("Итог"), QStringLiteral("Размер"),
                           QStringLiteral("SHA-256"), QStringLiteral("Куда / почему")});
  look::Input(table_);
  road_ = new QPlainTextEdit(split);
  road_->setObjectName(QStringLiteral("HistoryRoad"));
  road_->setReadOnly(true);
  road_->setLineWrapMode(QPlainTextEdit::NoWrap);
  road_->setFont(look::LogFont());
  look::Input(road_);
  layout->addWidget(split, 1);

  auto* bottom = new QHBoxLayout;
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("HistoryCount"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  bottom->addWidget(count_, 1);
  bottom->addWidget(buttons);
  layout->addLayout(bottom);

  connect(find, &QPushButton::clicked, this, &THistoryDialog::Search);
  connect(search_, &QLineEdit::returnPressed, this, &THistoryDialog::Search);
  connect(table_, &QTreeWidget::itemSelectionChanged, this, &THistoryDialog::ShowRoad);
  find->setAutoDefault(false);
  resize(900, 560);
  FitCaption(*this);
  Search();
}

THistoryDialog::~THistoryDialog() {
  // All stop at once; each job then waits for its own thread.
  for (auto& [serial, search] : searches_) search->Abandon();
}

void THistoryDialog::Search() {
  table_->clear();
  road_->clear();
  records_.clear();
  if (auto running = searches_.find(latest_); running != searches_.end())
    running->second->Abandon();
  const std::string text = FromQ(search_->text()).value_or(std::string());
  const uint64_t serial = ++latest_;
  // The thread hands its end to the dialog's own thread. It has ended before
  // the dialog goes (its job waits for it), and a call still queued then goes
  // with the dialog.
  searches_.emplace(serial, std::make_unique<THistorySearchJob>(
                                historyPath_, HistorySearch(text, Day(from_), Day(to_)),
                                [this, serial] {
                                  QMetaObject::invokeMethod(
                                      this, [this, serial] { Found(serial); },
                                      Qt::QueuedConnection);
                                },
                                query_));
  count_->setText(QStringLiteral("Поиск..."));
}

void THistoryDialog::Found(uint64_t serial) {
  const auto search = searches_.find(serial);
  if (search == searches_.end()) return;
  THistoryFound found = search->second->Take();
  searches_.erase(search);
  if (serial != latest_) return;  // a newer search runs
  if (!found.Opened) {
    count_->setText(QStringLiteral("История %1 не открывается: %2")
                        .arg(ToQ(historyPath_), QString::fromStdString(found.Why)));
    return;
  }
  records_ = std::move(found.Records);
  // The newest first, as an operator looks for them.
  for (size_t i = records_.size(); i-- > 0;) {
    QStringList cells;
    for (const std::string& cell : RoadCells(records_[i])) cells << ToQ(cell);
    auto* item = new QTreeWidgetItem(table_, cells);
    item->setData(0, kRecordRole, static_cast<qulonglong>(i));
  }
  for (int c = 0; c < table_->columnCount(); ++c) table_->resizeColumnToContents(c);
  count_->setText(records_.size() >= kHistorySearchRows
                      ? QStringLiteral("Показаны последние %1 записей").arg(records_.size())
                      : QStringLiteral("Найдено записей: %1").arg(records_.size()));
}

void THistoryDialog::ShowRoad() {
  const QList<QTreeWidgetItem*> selected = table_->selectedItems();
  if (selected.isEmpty()) {
    road_->clear();
    return;
  }
  const THistoryRecord& record =
      records_.at(static_cast<size_t>(selected.front()->data(0, kRecordRole).toULongLong()));
  QStringList text;
  for (const std::string& line : RoadLines(record)) text << ToQ(line);
  std::vector<TRoadLogFile> files;
  const std::vector<std::string> logLines = RoadLogLines(record, logPath_, &files);
  text << QString() << LogLinesHeading(logPath_, files, logLines.empty());
  for (const std::string& line : logLines) text << ToQ(line);
  road_->setPlainText(text.join(QLatin1Char('\n')));
}

void ShowHistory(QWidget* parent, const std::string& historyPath, const std::string& logPath) {
  THistoryDialog dialog(historyPath, logPath, parent);
  modal::Run(dialog);
}
