// The real main window against a settings file in a temporary folder, with
// the log, the working folders and the key utility's search path kept there too.
#pragma once

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "engine/uTesselTypes.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/TButtonEdit.h"
#include "ui/TfTesselMainForm.h"

namespace ui_test {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string name_, old_;
  bool had_;
};

class MainWindowTest : public ModalGuard {
 protected:
  testing_support::TempDir dir;
  testing_support::ScopedLogFile log{dir.Path() + "TesselScripts.log"};
  testing_support::ScopedTempPath temp{dir.Sub("tmp/")};
  std::string ini = dir.Path() + "TesselScripts.ini";
  // A stand-in key utility that notes each start in keyutil-calls.txt.
  std::string keyUtilityDir = dir.Sub("keyutil/");
  ScopedEnv path{"PATH", keyUtilityDir};
  std::unique_ptr<TfTesselMainForm> window;

  void SetUp() override;
  void TearDown() override;

  // Empties the model, lets build fill it, and saves it with the interval as
  // the settings file the window will load.
  void WriteScript(const std::function<void()>& build, int interval = 3);
  void Open();
  void CloseWithoutQuestion();
  // Inside WriteScript: the key folders, then an enabled group with no steps.
  TTesselActionList* KeyedGroup(const std::string& secret, const std::string& pub,
                                const std::string& name, const std::string& sourceMask,
                                const std::string& dest, const std::string& badFolder);

  // Controls.
  QAction* Action(const char* name) { return Find<QAction>(window.get(), name); }
  TButtonEdit* Edit(const char* name) { return Find<TButtonEdit>(window.get(), name); }
  QListWidget* Groups() { return Find<QListWidget>(window.get(), "CheckListBox1"); }
  QTreeWidget* Steps() { return Find<QTreeWidget>(window.get(), "ListView1"); }
  QSpinBox* Interval() { return Find<QSpinBox>(window.get(), "cxSpinEdit1"); }
  QTimer* Timer() { return Find<QTimer>(window.get(), "Timer1"); }

  void SelectGroup(int row);
  void SelectSteps(const std::vector<int>& rows);
  std::vector<QString> StepColumn(int column);
  // One tick of the running timer, delivered at once; returns when the
  // window has taken the end of the tick's pass.
  void Tick();
  int KeyUtilityStarts() const;
  std::vector<std::string> LogFields() const { return log.Fields(); }
  // Log lines holding a field, counted.
  int LogLinesStartingWith(const std::string& firstField) const;
};

}  // namespace ui_test
