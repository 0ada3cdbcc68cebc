#include "app/tessel/Runner.h"

#include <atomic>
#include <cerrno>

#include "app/tessel/CommandLine.h"
#include "app/tessel/Console.h"
#include "app/tessel/Listing.h"
#include "app/tessel/ServiceNotifier.h"
#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "engine/MaskListing.h"
#include "engine/Readiness.h"
#include "platform/Access.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "platform/Journal.h"
#include "platform/Process.h"
#include "platform/ReplaceFile.h"
#include "platform/Signals.h"
#include "runtime/Check.h"
#include "runtime/PassSchedule.h"
#include "runtime/ScriptSettings.h"
#include "runtime/TickGate.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0"
#endif

namespace {

// The stop request the runner's passes are handed. The signal handler sets
// it with one atomic store and touches nothing else: a reload may replace
// the registry at any moment.
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void StopFromSignal() {
  g_stopRequested.store(true);
}

bool Stopping() {
  return platform::StopSignals() != 0;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// The metrics are read by another user (node_exporter) and tell nothing secret.
constexpr unsigned kMetricsMode = 0644;

}  // namespace

std::string MetricsFileProblem(const std::string& metricsFile) {
  if (metricsFile.empty()) return {};
  const std::string folder = FolderOf(metricsFile);
  if (int err = platform::MayChangeFolder(folder))
    return "папка файла показателей " + folder + " недоступна для записи: " + platform::ErrorText(err);
  return {};
}

std::string SettingsFileProblem(const std::string& settingsFile) {
  platform::FileStat stat;
  if (int err = platform::StatPath(settingsFile, stat))
    return "Файл настроек " + settingsFile + " недоступен: " + platform::ErrorText(err);
  if (!stat.isRegular) return "Файл настроек " + settingsFile + " - не файл.";
  if (int err = platform::MayReadFile(settingsFile))
    return "Файл настроек " + settingsFile + " не читается: " + platform::ErrorText(err);
  return {};
}

int PassExitStatus(const TTesselGroups& registry, bool freshOnesComeAgain) {
  for (int i = 0; i < registry.GroupCount(); ++i) {
    const TPassCounts& pass = registry.GetGroup(i)->Run().LastPass;
    const int left = pass.Left - (freshOnesComeAgain ? pass.Fresh : 0);
    if (pass.EndTime != 0 && (pass.Bad > 0 || left > 0)) return kExitFilesFailed;
  }
  return kExitOk;
}

int FreshFilesLeft(const TTesselGroups& registry) {
  int fresh = 0;
  for (int i = 0; i < registry.GroupCount(); ++i)
    if (registry.GetGroup(i)->Enabled) fresh += registry.GetGroup(i)->Run().LastPass.Fresh;
  return fresh;
}

std::chrono::milliseconds PassInterval(int32_t storedSeconds) {
  int seconds = storedSeconds < kMinIntervalSeconds ? kMinIntervalSeconds : storedSeconds;
  return std::chrono::milliseconds(TimerIntervalMs(seconds));
}

// ---------------------------------------------------------------------------

TRunner::TRunner(TRunOptions options)
    : options_(std::move(options)), history_(TESSEL_VERSION) {
  session_.OnKeyUtilityError = [](const std::string& text) {
    PrintError("ключевая утилита " + std::string(kKeyUtilityName) + " не запустилась: " + text);
  };
}

TRunner::~TRunner() {
  if (LogTarget == &console_) LogTarget = nullptr;
}

int TRunner::Start() {
  // First of all, so that a stop during the start is a clean one.
  if (int err = platform::InstallSignalHandlers(&StopFromSignal)) {
    PrintError("Сигналы не перехвачены: " + platform::ErrorText(err));
    return kExitOperational;
  }
  const std::string& settings = options_.SettingsFile;
  if (std::string problem = SettingsFileProblem(settings); !problem.empty()) {
    PrintError(problem);
    return kExitOperational;
  }
  if (std::string problem = MetricsFileProblem(options_.MetricsFile); !problem.empty()) {
    PrintError("Показатели не запишутся: " + problem);
    return kExitOperational;
  }
  long holder = 0;
  if (int err = lock_.Acquire(settings, &holder)) {
    if (err == EWOULDBLOCK) {
      std::string who = "другой процесс";
      if (holder > 0) {
        who = "процесс " + std::to_string(holder);
        if (const std::string name = platform::ProcessName(holder); !name.empty())
          who += " (" + name + ")";
      }
      PrintError("Сценарий " + settings + " уже выполняется: блокировку " +
                 platform::RunLock::LockPath(settings) + " держит " + who + ".");
    } else {
      PrintError("Не удалось взять блокировку " + platform::RunLock::LockPath(settings) + ": " +
                 platform::ErrorText(err));
    }
    return kExitOperational;
  }
  // The window's log for this settings file, and each line to the terminal.
  const std::string log = platform::ReplaceExtension(settings, ".log");
  SetLogFilePath(log);
  // Under a service manager that logs standard output, each line is an
  // entry of the journal of its own, with its priority and subject.
  if (platform::StandardOutputIsJournal()) console_.UseJournal(&platform::SendJournalEntry);
  LogTarget = &console_;
  // A line the file does not take is lost on the terminal too, as in the window.
  if (int err = platform::MayAppendToFile(log))
    PrintError("Журнал событий " + log +
               " не записывается, его строки теряются: " + platform::ErrorText(err));

  interval_ = LoadScript(settings);
  historyDays_ = ReadHistoryDays(settings);
  keyWarningDays_ = KeyWarningDays(settings);
  // Opened now, so that retention and a damaged database are seen at the start.
  (void)history_.For(settings, historyDays_);
  hook_.SetCommand(options_.OnFailure.empty() ? ReadFailureCommand(settings) : options_.OnFailure);
  session_.InitCrypto(ScriptRegistry->SecKeysPath, ScriptRegistry->PubKeysPath);
  metrics_.SetLibraryOpen(session_.LibraryOpen());
  WriteMetrics();
  return kExitOk;
}

void TRunner::Pass() {
  // A group that runs now gets an end time; the others keep none, so the
  // metrics tell the groups of this pass.
  for (int i = 0; i < ScriptRegistry->GroupCount(); ++i)
    ScriptRegistry->GetGroup(i)->Run().LastPass = {};
  TConsoleSubjects log(console_);
  TPassContext context;
  context.Log = &log;
  context.Stop = &g_stopRequested;
  context.Roads = history_.For(options_.SettingsFile, historyDays_);
  context.Failures = [this](const TFailureEvent& event) {
    console_.NoteFailure(event);
    metrics_.NoteFailure(event);
    hook_.Note(event, std::chrono::steady_clock::now());
  };
  if (onFileStart_) context.Progress = [this](int, int, int) { onFileStart_(); };
  LookAtKeys();
  tally_.Before(*ScriptRegistry);
  ScriptRegistry->RunAllGroups(context);
  console_.Subject({}, {});  // the lines between passes are about no group
  tally_.After(*ScriptRegistry, totals_, platform::FormatTimestamp(platform::LocalNow()));
  metrics_.NotePass(*ScriptRegistry);
  WriteMetrics();
}

std::string TRunner::StatusText() const {
  const std::string line = StatusLineText(totals_, std::nullopt, {}, false);
  return LibraryOpen() ? line : "Библиотека не открыта.  " + line;
}

void TRunner::NoteLibrary(bool line) {
  if (LibraryOpen() || !session_.FCryptoReady) {
    libraryFault_ = false;
    return;
  }
  if (libraryFault_) return;  // the same episode
  libraryFault_ = true;
  const std::string reason = "Библиотека не открылась; группы, которым нужны ключи, ждут её";
  if (line) WriteFailureLog({reason + " (подробности выше)"});
  TFailureEvent event;
  event.Reason = reason;
  event.Code = session_.SignInitCode != 0 ? session_.SignInitCode : session_.CryptoInitCode;
  event.Class = TFailureClass::Environment;
  event.Starts = true;
  hook_.Note(event, std::chrono::steady_clock::now());
}

std::optional<std::chrono::steady_clock::time_point> TRunner::PollHook() {
  return hook_.Poll(std::chrono::steady_clock::now());
}

void TRunner::WaitForHook() {
  if (!hook_.Finish(kHookWaitAtEnd))
    PrintError("Команда при сбое не закончилась за " + std::to_string(kHookWaitAtEnd.count()) +
               " с; выход без неё.");
}

void TRunner::Reload() {
  const std::string& settings = options_.SettingsFile;
  if (std::string problem = SettingsFileProblem(settings); !problem.empty()) {
    PrintError(problem + " Сценарий не перечитан.");
    return;
  }
  const std::string oldSec = ScriptRegistry->SecKeysPath;
  const std::string oldPub = ScriptRegistry->PubKeysPath;
  {
    // The stop handler no longer looks at the registry; the script is
    // replaced between passes.
    const TStepKinds& kinds = ScriptRegistry->Kinds();
    DoneEngine();
    InitEngine(kinds);
  }
  interval_ = LoadScript(settings);
  keyWarningDays_ = KeyWarningDays(settings);
  if (options_.OnFailure.empty()) hook_.SetCommand(ReadFailureCommand(settings));
  historyDays_ = ReadHistoryDays(settings);
  if (ScriptRegistry->SecKeysPath != oldSec || ScriptRegistry->PubKeysPath != oldPub) {
    // As "Стоп" and "Пуск" would, so the library holds the new folders.
    session_.DoneCrypto();
    session_.InitCrypto(ScriptRegistry->SecKeysPath, ScriptRegistry->PubKeysPath);
  }
  metrics_.KeepOnly(*ScriptRegistry);
  metrics_.SetLibraryOpen(session_.LibraryOpen());
  keyWatch_.LookSoon();
  WriteMetrics();
}

void TRunner::Finish() {
  if (session_.FCryptoReady) session_.DoneCrypto();
  metrics_.SetLibraryOpen(false);
  WriteMetrics();
  history_.Close();
  if (LogTarget == &console_) LogTarget = nullptr;
  lock_.Release();
}

void TRunner::LookAtKeys() {
  if (!keyWatch_.Due()) return;
  metrics_.SetKeys(keyWatch_.Look(*ScriptRegistry, keyWarningDays_).Keys);
}

void TRunner::WriteMetrics() {
  if (options_.MetricsFile.empty()) return;
  const int err =
      platform::ReplaceFileContents(options_.MetricsFile, metrics_.Text(), kMetricsMode);
  if (err != 0 && err != metricsError_)
    PrintError("Показатели не записаны в " + options_.MetricsFile + ": " +
               platform::ErrorText(err));
  metricsError_ = err;
}

// ---------------------------------------------------------------------------

int RunService(const TRunOptions& options) {
  using Clock = TPassSchedule::Clock;
  TServiceNotifier notifier;
  TRunner runner(options);
  if (int status = runner.Start()) return status;
  if (!runner.LibraryOpen() && options.Strict) {
    runner.Finish();
    PrintError("Библиотека не открылась (подробности в журнале), служба не запущена (--strict).");
    return kExitOperational;
  }
  runner.NoteLibrary(true);
  runner.OnFileStart([&notifier] { notifier.Alive(); });
  notifier.Ready(runner.StatusText());
  TPassSchedule schedule(Clock::now(), PassInterval(runner.Interval()));
  TTickGate gate;
  while (!Stopping()) {
    notifier.Alive();
    const std::optional<Clock::time_point> hookDue = runner.PollHook();
    if (platform::TakeReloadSignal()) {
      notifier.Reloading();
      runner.Reload();
      runner.NoteLibrary(true);
      if (PassInterval(runner.Interval()) != schedule.Interval())
        schedule.Restart(Clock::now(), PassInterval(runner.Interval()));
      notifier.Ready(runner.StatusText());
      continue;
    }
    const Clock::time_point now = Clock::now();
    if (!schedule.IsDue(now)) {
      // Asleep until the pass is due or a signal comes; awake earlier for
      // the watchdog and for the failure command's next turn.
      Clock::time_point wake = schedule.Due();
      if (hookDue && *hookDue < wake) wake = *hookDue;
      if (notifier.AliveInterval().count() > 0 && now + notifier.AliveInterval() < wake)
        wake = now + notifier.AliveInterval();
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
      platform::WaitForSignal(left.count());
      continue;
    }
    schedule.PassStarting(now);
    // A stop that came in while the tick began cancels its pass.
    gate.Tick(
        [&gate] {
          if (Stopping()) gate.NoteStop();
        },
        [&runner, &notifier] {
          runner.Pass();
          notifier.Status(runner.StatusText());
        });
  }
  notifier.Stopping();
  runner.Finish();
  return kExitOk;
}

int RunOnce(const TRunOptions& options) {
  TRunner runner(options);
  if (int status = runner.Start()) return status;
  if (!runner.LibraryOpen()) {
    runner.NoteLibrary(false);
    PrintError("Библиотека не открылась (подробности в журнале), проход не выполнен.");
    runner.WaitForHook();
    runner.Finish();
    return kExitOperational;
  }
  const bool stoppedBefore = Stopping();
  int status = kExitOk;
  if (!stoppedBefore) {
    runner.Pass();
    // Files changed a moment ago wait for their writers to be done; one more
    // pass takes them once that moment is over.
    if (FreshFilesLeft(*ScriptRegistry) > 0 && !Stopping()) {
      status = PassExitStatus(*ScriptRegistry, true);
      platform::WaitForSignal(
          std::chrono::duration_cast<std::chrono::milliseconds>(kFreshChangeWait).count() + 100);
      if (!Stopping()) runner.Pass();
    }
  }
  // The failure command's lines still reach the log and the terminal.
  runner.WaitForHook();
  runner.Finish();
  // Stopped before the pass: whatever waits in the source folders was left.
  if (stoppedBefore) return kExitFilesFailed;
  return status != kExitOk ? status : PassExitStatus(*ScriptRegistry);
}

int ListGroups(const std::string& settingsFile, const std::vector<std::string>& names) {
  if (std::string problem = SettingsFileProblem(settingsFile); !problem.empty()) {
    PrintError(problem);
    return kExitOperational;
  }
  LoadFromIni(*ScriptRegistry, settingsFile);
  std::vector<const TTesselActionList*> shown;
  for (const std::string& name : names) {
    // Named as the settings file matches names: letter case aside.
    const size_t before = shown.size();
    for (int i = 0; i < ScriptRegistry->GroupCount(); ++i) {
      const TTesselActionList* group = ScriptRegistry->GetGroup(i);
      if (platform::UpperCase(group->Name) == platform::UpperCase(name)) shown.push_back(group);
    }
    if (shown.size() == before) {
      PrintError("В сценарии нет группы \"" + name + "\".");
      return kExitOperational;
    }
  }
  if (names.empty())
    for (int i = 0; i < ScriptRegistry->GroupCount(); ++i)
      if (ScriptRegistry->GetGroup(i)->Enabled) shown.push_back(ScriptRegistry->GetGroup(i));
  if (shown.empty()) PrintLine("Включённых групп нет.");
  for (size_t i = 0; i < shown.size(); ++i) {
    if (i > 0) PrintLine("");
    for (const std::string& line : ListingLines(*shown[i], ListMaskSelection(*shown[i])))
      PrintLine(line);
  }
  return kExitOk;
}

int CheckSettings(const std::vector<std::string>& settingsFiles, const std::string& metricsFile) {
  const bool several = settingsFiles.size() > 1;
  bool errors = false;
  std::vector<TSourceOwner> owners;
  for (const std::string& settingsFile : settingsFiles) {
    if (several) PrintLine("Сценарий " + settingsFile + ":");
    if (std::string problem = SettingsFileProblem(settingsFile); !problem.empty()) {
      PrintError(problem);
      return kExitOperational;
    }
    LoadFromIni(*ScriptRegistry, settingsFile);
    std::vector<TFinding> findings = CheckScript(*ScriptRegistry, settingsFile);
    // run and once refuse to start without their metrics file's folder.
    if (std::string problem = MetricsFileProblem(metricsFile); !problem.empty())
      findings.insert(findings.begin(),
                      {TSeverity::Error, problem + ", run и once не запустятся с --metrics"});
    for (const std::string& line : CheckReportLines(findings)) PrintLine(line);
    errors = errors || HasErrors(findings);
    for (TSourceOwner& owner : SourceOwners(*ScriptRegistry, settingsFile))
      owners.push_back(std::move(owner));
  }
  if (several) {
    PrintLine("Сценарии вместе:");
    const std::vector<TFinding> shared = SharedSourceFolders(owners);
    for (const std::string& line : CheckReportLines(shared)) PrintLine(line);
    errors = errors || HasErrors(shared);
  }
  return errors ? kExitFilesFailed : kExitOk;
}
