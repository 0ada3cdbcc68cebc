#include "tests/ui/MainWindowFixture.h"

#include <sys/stat.h>

#include <QApplication>
#include <QTimerEvent>
#include <cstdlib>

#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "platform/Cp1251.h"

namespace ui_test {

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (old) old_ = old;
  ::setenv(name, platform::Cp1251ToUtf8(value).c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    ::setenv(name_.c_str(), old_.c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

void MainWindowTest::SetUp() {
  ModalGuard::SetUp();
  const std::string script = keyUtilityDir + "marvik";
  testing_support::WriteFile(script, "#!/bin/sh\necho \"$@\" >> \"${0%/*}/calls.txt\"\n");
  ::chmod(platform::Cp1251ToUtf8(script).c_str(), 0755);
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath.clear();
  ScriptRegistry->SecKeysPath.clear();
}

void MainWindowTest::TearDown() {
  window.reset();
  ScriptRegistry->ClearGroups();
  ModalGuard::TearDown();
}

void MainWindowTest::WriteScript(const std::function<void()>& build, int interval) {
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath.clear();
  ScriptRegistry->SecKeysPath.clear();
  build();
  EXPECT_TRUE(SaveToIni(*ScriptRegistry, ini));
  EXPECT_TRUE(WriteIniInteger("MAIN", "INTERVAL", interval, ini));
  ScriptRegistry->ClearGroups();
}

void MainWindowTest::Open() {
  window = std::make_unique<TfTesselMainForm>();
  window->SettingsFile = ini;
  window->show();
  QApplication::processEvents();
}

TTesselActionList* MainWindowTest::KeyedGroup(const std::string& secret, const std::string& pub,
                                              const std::string& name,
                                              const std::string& sourceMask,
                                              const std::string& dest,
                                              const std::string& badFolder) {
  ScriptRegistry->PubKeysPath = pub;
  ScriptRegistry->SecKeysPath = secret;
  TTesselActionList* group = ScriptRegistry->AddGroup(name);
  group->Enabled = true;
  group->SourceMask = sourceMask;
  group->DestFolder = dest;
  group->BadFolder = badFolder;
  return group;
}

void MainWindowTest::CloseWithoutQuestion() {
  if (!window->Saved()) modal::Prepare(Click(QMessageBox::No));
  window->close();
}

void MainWindowTest::SelectGroup(int row) {
  Groups()->setCurrentRow(row);
  Groups()->item(row)->setSelected(true);
}

void MainWindowTest::SelectSteps(const std::vector<int>& rows) {
  Steps()->clearSelection();
  for (int row : rows) Steps()->topLevelItem(row)->setSelected(true);
}

std::vector<QString> MainWindowTest::StepColumn(int column) {
  std::vector<QString> texts;
  for (int i = 0; i < Steps()->topLevelItemCount(); ++i)
    texts.push_back(Steps()->topLevelItem(i)->text(column));
  return texts;
}

void MainWindowTest::Tick() {
  QTimer* timer = Timer();
  ASSERT_TRUE(timer->isActive());
  QTimerEvent tick(timer->timerId());
  QCoreApplication::sendEvent(timer, &tick);
  // The pass runs on its own thread; the tick is done when the window has its end.
  ASSERT_TRUE(WaitFor([this] { return !window->PassInFlight(); }));
}

int MainWindowTest::KeyUtilityStarts() const {
  const std::string calls = keyUtilityDir + "calls.txt";
  if (!testing_support::FileExists(calls)) return 0;
  const std::string text = testing_support::ReadFile(calls);
  int starts = 0;
  for (size_t pos = 0; (pos = text.find("u\n", pos)) != std::string::npos; pos += 2) ++starts;
  EXPECT_EQ(text.size(), static_cast<size_t>(starts) * 2) << "only the command u is expected";
  return starts;
}

int MainWindowTest::LogLinesStartingWith(const std::string& firstField) const {
  int count = 0;
  for (const std::string& line : log.Fields())
    if (line.substr(0, line.find('\t')) == firstField) ++count;
  return count;
}

}  // namespace ui_test
