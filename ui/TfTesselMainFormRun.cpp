// The main window's running state: "Пуск" and "Стоп" with the script's run
// lock and the library, the timer's ticks and their passes on the second
// thread, the pass's reports, and the status line.
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <chrono>

#include "platform/Clock.h"
#include "runtime/KeyWatch.h"
#include "runtime/ScriptSettings.h"
#include "ui/Application.h"
#include "ui/LogView.h"
#include "ui/Look.h"
#include "ui/RunRefusal.h"
#include "ui/TfTesselMainForm.h"
#include "ui/TrayIcon.h"
#include "ui/UiText.h"
#include "ui/WindowNotices.h"

bool TfTesselMainForm::TimerOn() const {
  return Timer1->isActive();
}

void TfTesselMainForm::actStopExecute(int tag) {
  if (tag == 0) {
    // Another runner of this script (a service, another window) keeps the
    // library closed and the timer off here.
    if (!TakeRunLock()) return;
    FOtherRunner = 0;
    if (!FCrypto.FCryptoReady) InitCrypto();
    ScriptRegistry->ClearStop();
    FTotals = {};
    LookAtKeys(true);
  } else {
    // The pass in flight ends after its file in hand; the rest wait in their
    // source folders for the next "Пуск".
    ScriptRegistry->RequestStop();
    if (FPass.InFlight())
      FStopPending = true;
    else
      FinishStop();
  }
  Timer1->setInterval(TimerIntervalMs(cxSpinEdit1->value()));
  if (tag == 0) {
    Timer1->start();
  } else {
    Timer1->stop();
    // A tick that is letting events through must not run its pass now.
    FTicks.NoteStop();
  }
  ShowTray();
  ShowStatus();
  actRunUpdate();
}

bool TfTesselMainForm::TakeRunLock() {
  long holder = 0;
  const int error = FRunLock.Acquire(SettingsFile, &holder);
  if (error == 0) return true;
  if (error == EWOULDBLOCK) FOtherRunner = holder > 0 ? holder : -1;
  ShowStatus();
  ShowMessage(this, ToQ(RunRefusalText(error, holder, platform::RunLock::LockPath(SettingsFile))),
              QMessageBox::Warning);
  actRunUpdate();
  return false;
}

void TfTesselMainForm::FinishStop() {
  FStopPending = false;
  DoneCrypto();
  FRunLock.Release();
  LookForOtherRunner();
  ShowStatus();
}

void TfTesselMainForm::LookForOtherRunner() {
  // While this window holds the lock nobody else can.
  if (!FRunLock.Held()) FOtherRunner = FRunLock.OtherHolder(SettingsFile);
}

void TfTesselMainForm::InitCrypto() {
  FCrypto.InitCrypto(ScriptRegistry->SecKeysPath, ScriptRegistry->PubKeysPath);
}

void TfTesselMainForm::LookAtKeys(bool now) {
  if (!now && !FKeyWatch.Due()) return;
  const int warnDays = KeyWarningDays(SettingsFile);
  const TKeyWatch::TLook look = FKeyWatch.Look(*ScriptRegistry, warnDays);
  FKeyExpiry = NearestKeyExpiryText(look.Keys, look.At, warnDays);
}

void TfTesselMainForm::DoneCrypto() {
  FCrypto.DoneCrypto();
}

void TfTesselMainForm::Timer1Timer() {
  FTicks.Tick([] { QCoreApplication::processEvents(); }, [this] { StartPass(); });
  FFailureHook.Poll(std::chrono::steady_clock::now());
  // A long file's bytes move on between the pass's reports.
  if (FPass.InFlight()) ShowStatus();
  actRunUpdate();
}

void TfTesselMainForm::StartPass() {
  // The last pass is still on its files: this tick falls away, none piles up.
  if (FPass.InFlight()) return;
  FTally.Before(*ScriptRegistry);
  ScriptRegistry->OnFileStart = [this](int group, int file, int files) {
    FPass.SetProgress(group, file, files);
  };
  ScriptRegistry->OnActivity = [this](int group, const std::string& what, const std::string& output,
                                      uint64_t bytes) {
    FPass.SetActivity(group, what, output, bytes);
  };
  // Made here, used only on the pass's thread until PassEnded.
  ScriptRegistry->Roads = FHistory.For(SettingsFile, FEditor.HistoryDays());
  FPass.Start([] { ScriptRegistry->RunAllGroups(); });
  actRunUpdate();
}

void TfTesselMainForm::TakeReports() {
  TBackgroundPass::TReport report = FPass.Take();
  ShowLines(report.Lines);
  TakeFailures(report.Failures);
  if (report.Progress) FProgress = report.Progress;
  if (report.PassEnded) PassEnded();
  ShowStatus();
}

void TfTesselMainForm::PassEnded() {
  ScriptRegistry->OnFileStart = nullptr;
  ScriptRegistry->OnActivity = nullptr;
  ScriptRegistry->Roads = nullptr;
  FProgress.reset();
  FTally.After(*ScriptRegistry, FTotals, platform::FormatTimestamp(platform::LocalNow()));
  ShowGroupLines();
  // Between passes: no pass asks the library about keys meanwhile.
  LookAtKeys();
  if (FStopPending) FinishStop();
  actRunUpdate();
}

void TfTesselMainForm::EndPassInFlight() {
  if (!FPass.InFlight()) return;
  const bool stopWasRequested = ScriptRegistry->StopRequested();
  ScriptRegistry->RequestStop();
  while (FPass.InFlight()) {
    FPass.WaitForEnd();
    TakeReports();
  }
  if (!stopWasRequested) ScriptRegistry->ClearStop();
}

void TfTesselMainForm::AddLine(const std::string& line, TLogKind kind) {
  if (QThread::currentThread() != thread()) {
    FPass.AddLine(line, kind);
    return;
  }
  // Lines of the pass that wait to be shown were written before this one.
  ShowLines(FPass.TakeLines());
  Memo1->AddLine(ToQ(line), kind == TLogKind::Failure);
}

void TfTesselMainForm::ShowLines(const std::vector<TBackgroundPass::TLine>& lines) {
  std::vector<TLogView::TLine> shown;
  shown.reserve(lines.size());
  for (const TBackgroundPass::TLine& line : lines)
    shown.push_back({ToQ(line.Text), line.Kind == TLogKind::Failure});
  Memo1->AddLines(shown);
}

void TfTesselMainForm::TakeFailures(const std::vector<TFailureEvent>& failures) {
  if (!failures.empty() && FFailureHook.Command() != FEditor.FailureCommand())
    FFailureHook.SetCommand(FEditor.FailureCommand());
  for (const TFailureEvent& failure : failures) {
    FFailureHook.Note(failure, std::chrono::steady_clock::now());
    if (!FTrayState.Note(failure)) continue;
    ++FFailureNotices;
    FTrayIcon->Notify(ToQ(FailureNoticeTitle(failure)), ToQ(FailureNoticeText(failure)));
  }
  // An operator at the window sees the failure as it comes.
  if (isActiveWindow()) FTrayState.Looked();
  if (!failures.empty()) ShowTray();
}

void TfTesselMainForm::Looked() {
  FTrayState.Looked();
  ShowTray();
}

void TfTesselMainForm::ShowTray() {
  FTrayState.SetRunning(TimerOn());
  FTrayIcon->Show(FTrayState.Look(), ToQ(TrayTipText(FTrayState.Look(), FTrayState.Unseen())));
}

void TfTesselMainForm::ShowStatus() {
  std::string group;
  if (FProgress) MeasureProgress(*FProgress);
  // Group names never change while a pass runs.
  if (FProgress && FProgress->Group >= 0 && FProgress->Group < ScriptRegistry->GroupCount())
    group = ScriptRegistry->GetGroup(FProgress->Group)->Name;
  std::string text = StatusLineText(FTotals, FProgress, group, FStopPending && FPass.InFlight());
  // What an operator coming back must see first goes first.
  const bool libraryClosed = FCrypto.FCryptoReady && !FCrypto.LibraryOpen();
  if (!FKeyExpiry.empty()) text = FKeyExpiry + "  " + text;
  if (FTrayState.LastFailure()) text = LastFailureText(*FTrayState.LastFailure()) + "  " + text;
  if (libraryClosed) text = LibraryClosedText() + "  " + text;
  if (FOtherRunner != 0) text = OtherRunnerText(FOtherRunner) + "  " + text;
  StatusLine->setText(ToQ(text));
  StatusLine->setToolTip(StatusLine->text());
  QPalette colours = StatusLine->palette();
  colours.setColor(QPalette::WindowText,
                   libraryClosed ? look::FailureColour() : palette().color(QPalette::WindowText));
  StatusLine->setPalette(colours);
}
