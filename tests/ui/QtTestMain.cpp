// Entry of the widget tests: a headless application with the engine and the
// crypto steps, and modal windows that never wait for an operator.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"
#include "ui/Application.h"
#include "ui/ModalSeam.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Also when CTest lists the tests at build time, without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  InitEngine(CryptoStepKinds());
  int result = 0;
  {
    QApplication app(argc, argv);
    InitApplication(app);
    modal::SetStrict(true);
    result = RUN_ALL_TESTS();
  }
  DoneEngine();
  return result;
}
