// The program: the engine with its step kinds, then the main window until it
// closes; the script registry goes last.
#include <QApplication>
#include <clocale>

#include "config/uIniUtil.h"
#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/Memory.h"
#include "ui/Application.h"
#include "ui/TfTesselMainForm.h"

int main(int argc, char** argv) {
  // Log timestamps use the user's date and time formats.
  std::setlocale(LC_ALL, "");
  platform::KeepFreedHeapMemory();
  InitEngine(CryptoStepKinds());
  // The log lives beside the settings file, which an installed program keeps
  // in the user's settings folder.
  SetLogFilePath(platform::ReplaceExtension(SettingsFilePath(), ".log"));
  int result = 0;
  {
    QApplication app(argc, argv);
    InitApplication(app);
    TfTesselMainForm window;
    window.show();
    result = app.exec();
  }
  DoneEngine();
  return result;
}
