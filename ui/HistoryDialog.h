// "История...": the records of each file's road, read only. A search box (a
// name, a mask or a SHA-256 digest), a date range, the table of the records
// found, and the selected record's road with its lines from the event log.
// Each search opens the database to read and closes it again: it waits for
// no pass that writes and needs no run lock. It runs on a thread of its own
// (a mask over a million records takes a second): the window stays alive, a
// new search abandons the one running, whose result is dropped when it
// comes, and closing abandons them all.
#pragma once

#include <QDialog>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "history/HistoryRecord.h"
#include "history/HistorySearchJob.h"

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
  // query: what each search runs on its thread; empty: the database's.
  THistoryDialog(std::string historyPath, std::string logPath, QWidget* parent = nullptr,
                 THistorySearchJob::Query query = {});
  ~THistoryDialog() override;

  // The searches started whose result has not come back yet.
  size_t SearchesRunning() const { return searches_.size(); }

 private:
  void Search();
  void Found(uint64_t serial);
  void ShowRoad();

  std::string historyPath_, logPath_;
  THistorySearchJob::Query query_;
  // By their serial; only the latest one's result is shown.
  std::map<uint64_t, std::unique_ptr<THistorySearchJob>> searches_;
  uint64_t latest_ = 0;
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
