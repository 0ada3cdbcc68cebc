// tessel: the window's script without the window, as a service (run), one
// pass (once), the mask tester (list) and the script check (check).
#include <clocale>

#include "app/tessel/CommandLine.h"
#include "app/tessel/Console.h"
#include "app/tessel/History.h"
#include "app/tessel/Runner.h"
#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/Memory.h"
#include "platform/SettingsPlace.h"

int main(int argc, char** argv) {
  // Log timestamps and error texts follow the user's locale.
  std::setlocale(LC_ALL, "");
  platform::KeepFreedHeapMemory();
  const TCommandLine line = ParseCommandLine(argc, argv);
  if (!line.Error.empty()) {
    PrintError(line.Error);
    PrintText(stderr, "Справка: tessel --help\n");
    return kExitOperational;
  }
  if (line.Command == TCommand::Help) {
    PrintText(stdout, UsageText());
    return kExitOk;
  }
  if (line.Command == TCommand::Version) {
    PrintText(stdout, VersionText());
    return kExitOk;
  }
  const TRunOptions options{
      line.SettingsFile.empty()
          ? platform::SettingsPlace(DefaultSettingsFile(platform::ProgramPath()))
          : line.SettingsFile,
      line.MetricsFile, line.OnFailure, line.Strict};
  InitEngine(CryptoStepKinds());
  int status = kExitOperational;
  switch (line.Command) {
    case TCommand::Run:
      status = RunService(options);
      break;
    case TCommand::Once:
      status = RunOnce(options);
      break;
    case TCommand::List:
      status = ListGroups(options.SettingsFile, line.Groups);
      break;
    case TCommand::Check: {
      std::vector<std::string> files{options.SettingsFile};
      files.insert(files.end(), line.MoreSettingsFiles.begin(), line.MoreSettingsFiles.end());
      status = CheckSettings(files, options.MetricsFile);
      break;
    }
    case TCommand::History:
      status = ShowHistory(options.SettingsFile, line.History);
      break;
    default:
      break;
  }
  DoneEngine();
  return status;
}
