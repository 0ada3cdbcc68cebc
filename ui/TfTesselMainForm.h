// The main window: shows and edits the script, saves and restores it, runs
// it on a timer between "Пуск" and "Стоп", and shows the event log.
//
// Each tick's pass runs on a second thread, so the window keeps repainting
// and answering "Стоп" while it runs. While a pass is in flight the script
// is the pass's: every editing control is disabled (as it is while the timer
// runs), the window only reads what the pass does not change, and its log
// lines reach the view through the pass's reports, in the order written.
#pragma once

#include <QWidget>
#include <string>

#include <chrono>
#include <optional>

#include "engine/uTesselTypes.h"
#include "platform/RunLock.h"
#include "runtime/BackgroundPass.h"
#include "runtime/CryptoSession.h"
#include "runtime/FailureHook.h"
#include "runtime/KeyWatch.h"
#include "runtime/PassStatus.h"
#include "runtime/TickGate.h"
#include "runtime/TrayState.h"
#include "history/PassHistory.h"
#include "ui/ScriptEditor.h"

class QAction;
class QFrame;
class QItemSelection;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QSpinBox;
class QSplitter;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TButtonEdit;
class TLogView;
class TTrayIcon;

class TfTesselMainForm : public QWidget, public TLogTarget {
  Q_OBJECT

 public:
  explicit TfTesselMainForm(QWidget* parent = nullptr);
  ~TfTesselMainForm() override;

  // The settings file the window loads and saves; the file next to the
  // program unless a test points it elsewhere before the window is shown.
  std::string SettingsFile;

  // TLogTarget: every log line also goes to the log view.
  void AddLine(const std::string& line, TLogKind kind) override;

  bool Saved() const { return FEditor.Saved(); }
  bool CryptoReady() const { return FCrypto.FCryptoReady; }
  // A tick's pass has begun and the window has not yet taken its end.
  bool PassInFlight() const { return FPass.InFlight(); }
  // What the tray icon shows (also without a tray).
  const TTrayState& Tray() const { return FTrayState; }
  // Failure notifications sent (through the tray when there is one).
  int FailureNotices() const { return FFailureNotices; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  QAction* MakeAction(const char* name, const QString& caption,
                      void (TfTesselMainForm::*handler)());

  // Handlers.
  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormClose();
  void actStopExecute(int tag);
  void actRunUpdate();
  void Timer1Timer();
  void actSaveExecute();
  void actLoadExecute();
  void actGroupAddExecute();
  void actGroupDelExecute();
  void actAddExecute();
  void actDelExecute();
  void actChangeExecute();
  void actMaskListExecute();
  void actCheckExecute();
  void actHistoryExecute();
  void actKeysExecute();
  void cxButtonEdit3ContextMenu(const QPoint& at);
  void CheckListBox1Click();
  void CheckListBox1ClickCheck(QListWidgetItem* item);
  void ListView1Change(QTreeWidgetItem* item);
  void ListView1SelectionChange(const QItemSelection& selected, const QItemSelection& deselected);
  void cxButtonEdit1PropertiesChange();
  void cxButtonEdit3PropertiesChange();
  void cxButtonEdit4PropertiesChange();
  void cxButtonEdit5PropertiesChange();
  void cxSpinEdit1PropertiesChange();
  void cxSpinEditSettlePropertiesChange();
  void cxSpinEditDuplicatePropertiesChange();
  void cxButtonEdit1PropertiesButtonClick(TButtonEdit* edit);
  void cxButtonEdit3ropertiesButtonClick();
  void cxButtonEdit4PropertiesButtonClick();
  void cxButtonEdit5PropertiesButtonClick();

  // Own operations.
  // Replaces the script on screen by the file's, without asking.
  void RestoreScript();
  // A question with "Да" and "Нет"; true for "Да".
  bool Confirm(const QString& text);
  // Another process that runs the script from its file, looked for while
  // this window does not run it.
  void LookForOtherRunner();
  // Failure events from the pass: the tray, a notification, the status line.
  void TakeFailures(const std::vector<TFailureEvent>& failures);
  // The operator has looked at the window.
  void Looked();
  void ShowTray();
  void actStartInTrayExecute();
  void InitCrypto();
  // The nearest key expiry for the status line; always when asked to.
  void LookAtKeys(bool now = false);
  void DoneCrypto();
  // "Пуск" and "Стоп" beyond the library: the script's run lock.
  bool TakeRunLock();
  void FinishStop();
  // The pass on its thread: started by a tick, reported back, ended.
  void StartPass();
  void TakeReports();
  void PassEnded();
  // Ends the pass in flight after its file in hand and waits for it; a stop
  // request it made is withdrawn afterwards.
  void EndPassInFlight();
  void ShowLines(const std::vector<TBackgroundPass::TLine>& lines);
  void ShowStatus();
  void ShowGroupLine(QListWidgetItem* line, const TTesselActionList& group);
  void ShowGroupLines();
  TTesselActionList* CurrentGroup() const;
  void ShowStepRow(TTesselAction* step, int row = -1);
  void RenumberSteps();
  void ShowGroup();
  void ShowScript();
  std::vector<std::string> GroupNames() const;
  bool AskGroupName(std::string& name);
  void BrowseGroupFolder(TButtonEdit* edit, const QString& title);
  bool TimerOn() const;

  bool FFilling = false;
  // The script's edits and FSaved, the unsaved state.
  TScriptEditor FEditor;
  bool FShown = false;
  TCryptoSession FCrypto;
  TTickGate FTicks;
  platform::RunLock FRunLock;
  // "Стоп" came while a pass was in flight: the library closes and the lock
  // goes when the pass has finished its file in hand.
  bool FStopPending = false;
  TPassTally FTally;
  TRunTotals FTotals;  // since "Пуск"
  std::optional<TBackgroundPass::TProgress> FProgress;
  TTrayState FTrayState;
  TFailureHook FFailureHook{{}};  // the script's ON_FAILURE command
  int FFailureNotices = 0;
  long FOtherRunner = 0;  // its process id; 0: none seen
  // The key that ends first within the script's warning days, in words; the
  // keys are looked at on "Пуск" and then at most once a minute between passes.
  std::string FKeyExpiry;
  TKeyWatch FKeyWatch;  // the expiry lines of the log; FKeyExpiry from its looks
  // Each file's road of the window's passes; it outlives FPass, whose
  // destruction waits for the pass that uses it.
  TPassHistory FHistory;
  TBackgroundPass FPass;

  QFrame* Panel8;
  QLabel* Label1;
  QSpinBox* cxSpinEdit1;
  QFrame* Bevel1;
  QFrame* Panel1;
  QLabel* Label11;
  TButtonEdit* cxButtonEdit1;
  QLabel* Label2;
  TButtonEdit* cxButtonEdit2;
  QFrame* Bevel2;
  QSplitter* Splitter2;
  QFrame* Panel6;
  QSplitter* Splitter1;
  QFrame* Panel4;
  QListWidget* CheckListBox1;
  QFrame* Panel5;
  QFrame* Panel2;
  QFrame* Panel3;
  QLabel* Label12;
  TButtonEdit* cxButtonEdit3;
  QLabel* Label13;
  TButtonEdit* cxButtonEdit4;
  QLabel* Label3;
  TButtonEdit* cxButtonEdit5;
  QLabel* LabelSettle;
  QSpinBox* cxSpinEditSettle;  // the group's settle time
  QLabel* LabelDuplicate;
  QSpinBox* cxSpinEditDuplicate;  // the group's duplicate guard, in days
  QTreeWidget* ListView1;
  QFrame* Panel7;
  TLogView* Memo1;
  QFrame* PanelStatus;
  QLabel* StatusLine;

  QAction* actRun;
  QAction* actStop;
  QAction* actSave;
  QAction* actLoad;
  QAction* actGroupAdd;
  QAction* actGroupDel;
  QAction* actAdd;
  QAction* actDel;
  QAction* actChange;
  QAction* actMaskList;     // what the selected group's mask takes now
  QAction* actCheck;        // the script on screen held against this machine
  QAction* actHistory;      // each file's road, read only, running or not
  QAction* actKeys;         // the key inventory of the saved script, read only
  QAction* actStartInTray;  // the window starts hidden in the tray
  TTrayIcon* FTrayIcon;
  QTimer* Timer1;
};
