// "История...": the records of each file's road, read only. A search box (a
// name, a mask or a SHA-256 digest), a date range, the table of the records
// found, and the selected record's road with its lines from the event log.
// Each search opens the database to read and closes it again: it waits for
// no pass that writes and needs no run lock.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "history/HistoryRecord.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

class THistoryDialog : public QDialog {
  Q_OBJECT

 public:
  // Controls are named for tests: HistorySearch, HistoryFrom, HistoryTo,
  // HistoryFind, HistoryTable, HistoryCount, HistoryRoad.
  THistoryDialog(std::string historyPath, std::string logPath, QWidget* parent = nullptr);

 private:
  void Search();
  void ShowRoad();

  std::string historyPath_, logPath_;
  std::vector<THistoryRecord> records_;
  QLineEdit* search_;
  QDateEdit* from_;
  QDateEdit* to_;
  QTreeWidget* table_;
  QLabel* count_;
  QPlainTextEdit* road_;
};

// Shows the dialog modally.
void ShowHistory(QWidget* parent, const std::string& historyPath, const std::string& logPath);
