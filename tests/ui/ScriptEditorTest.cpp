// The window's edits of the script and its unsaved-state rules, without a
// window; and which commands respond in which state.
#include <gtest/gtest.h>

#include <cerrno>

#include "tests/support/TestSupport.h"
#include "ui/CommandStates.h"
#include "ui/ScriptEditor.h"

namespace {

using testing_support::ScopedLogFile;
using testing_support::TempDir;

class ScriptEditor : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "t.log"};
  std::string ini = dir.Path() + "t.ini";
  TScriptEditor editor;

  void SetUp() override { ScriptRegistry->ClearGroups(); }
  void TearDown() override { ScriptRegistry->ClearGroups(); }

  // A loaded script with one group of four do-nothing steps, copy folders /1 to /4.
  TTesselActionList& LoadedGroup() {
    TTesselActionList* g = ScriptRegistry->AddGroup("G");
    for (const char* copy : {"/1", "/2", "/3", "/4"}) g->CreateAction(kKindNone)->CopyTo = copy;
    EXPECT_TRUE(editor.Save(ini, 3));
    editor.Load(ini, nullptr);
    return *ScriptRegistry->GetGroup(0);
  }
  std::vector<std::string> Copies(const TTesselActionList& g) {
    std::vector<std::string> copies;
    for (int i = 0; i < g.ActionCount(); ++i) copies.push_back(g.GetAction(i)->CopyTo);
    return copies;
  }
};

TEST_F(ScriptEditor, LoadIsSavedAfterItsShowingWhateverTheControlsReported) {
  EXPECT_FALSE(editor.Saved());  // a new window has nothing saved
  int shown = -1;
  editor.Load(ini, [&](int32_t interval) {
    shown = interval;
    editor.IntervalChanged();  // the interval field reports its new value
    EXPECT_FALSE(editor.Saved());
  });
  EXPECT_EQ(shown, 3);
  EXPECT_TRUE(editor.Saved());
}

TEST_F(ScriptEditor, AFailedSaveLeavesTheSettingsUnsavedAndIsLoggedAsAFailure) {
  struct Kinds : TLogTarget {
    std::vector<bool> failures;
    void AddLine(const std::string&, TLogKind kind) override {
      failures.push_back(kind == TLogKind::Failure);
    }
  } kinds;
  TLogTarget* old = LogTarget;
  LogTarget = &kinds;
  editor.SetKeyFolders("/pub", "/sec");
  {
    testing_support::ScopedFault fault(
        [](std::string_view op, const std::string&) { return op == "write" ? ENOSPC : 0; });
    EXPECT_FALSE(editor.Save(ini, 3));
  }
  LogTarget = old;
  // "Сохранение настроек в ini-файл", then the error line.
  EXPECT_EQ(kinds.failures, (std::vector<bool>{false, true}));
  EXPECT_FALSE(editor.Saved());
  EXPECT_TRUE(editor.Save(ini, 3));
  EXPECT_TRUE(editor.Saved());
}

TTesselActionList& First() {
  return *ScriptRegistry->GetGroup(0);
}

TEST_F(ScriptEditor, EditsMarkTheSettingsUnsavedAndReachTheModel) {
  LoadedGroup();
  struct Edit {
    const char* what;
    std::function<void()> make;
    std::function<bool()> done;
  };
  const std::vector<Edit> edits = {
      {"key folders", [&] { editor.SetKeyFolders("/p", "/s"); },
       [] { return ScriptRegistry->PubKeysPath == "/p" && ScriptRegistry->SecKeysPath == "/s"; }},
      {"mask", [&] { editor.SetSourceMask(&First(), "/in/*"); },
       [] { return First().SourceMask == "/in/*"; }},
      {"destination", [&] { editor.SetDestFolder(&First(), "/out"); },
       [] { return First().DestFolder == "/out"; }},
      {"bad folder", [&] { editor.SetBadFolder(&First(), "/bad"); },
       [] { return First().BadFolder == "/bad"; }},
      {"settle time", [&] { editor.SetSettleSeconds(&First(), 30); },
       [] { return First().SettleSeconds == 30; }},
      {"interval", [&] { editor.IntervalChanged(); }, [] { return true; }},
      {"step check box", [&] { editor.SetStepEnabled(First().GetAction(0), true); },
       [] { return First().GetAction(0)->Enabled; }},
      {"new step", [&] { editor.AddStep(First(), new TTesselAction_none); },
       [] { return First().ActionCount() == 5; }},
      {"new group", [&] { editor.AddGroup("H"); },
       [] { return ScriptRegistry->GroupCount() == 2; }},
      {"deleted group", [&] { editor.DeleteGroup(0); },
       [] { return ScriptRegistry->GroupCount() == 0; }},
  };
  for (const Edit& edit : edits) {
    editor.Load(ini, nullptr);
    ASSERT_TRUE(editor.Saved());
    edit.make();
    EXPECT_FALSE(editor.Saved()) << edit.what;
    EXPECT_TRUE(edit.done()) << edit.what;
  }
}

TEST_F(ScriptEditor, AGroupsCheckBoxAndEditsWithoutAGroupLeaveTheSettingsSaved) {
  TTesselActionList& g = LoadedGroup();
  editor.SetGroupEnabled(&g, true);
  EXPECT_TRUE(g.Enabled);
  editor.SetSourceMask(nullptr, "/x/*");
  editor.SetDestFolder(nullptr, "/x");
  editor.SetBadFolder(nullptr, "/x");
  editor.SetSettleSeconds(nullptr, 5);
  editor.SetStepEnabled(nullptr, true);
  editor.SetGroupEnabled(nullptr, false);
  EXPECT_TRUE(editor.Saved());
  EXPECT_EQ(g.SourceMask, "");
}

TEST_F(ScriptEditor, ANegativeSettleTimeIsNone) {
  TTesselActionList& g = LoadedGroup();
  editor.SetSettleSeconds(&g, -4);
  EXPECT_EQ(g.SettleSeconds, 0);
}

TEST_F(ScriptEditor, DeleteStepsTakesRowsInAnyOrderOnce) {
  TTesselActionList& g = LoadedGroup();
  editor.DeleteSteps(g, {0, 2, 0});
  EXPECT_EQ(Copies(g), (std::vector<std::string>{"/2", "/4"}));
  editor.DeleteSteps(g, {1, 0});
  EXPECT_EQ(g.ActionCount(), 0);
}

TEST_F(ScriptEditor, ReplaceStepPutsTheNewStepInTheOldOnesPlace) {
  TTesselActionList& g = LoadedGroup();
  TTesselAction* second = g.GetAction(1);
  const TStepPlace place = TScriptEditor::PlaceOf(g, second);
  EXPECT_EQ(place.Position, 1);
  delete second;  // as the step editor does
  auto* fresh = new TTesselAction_none;
  fresh->CopyTo = "/new";
  editor.ReplaceStep(g, place, fresh);
  EXPECT_EQ(Copies(g), (std::vector<std::string>{"/1", "/new", "/3", "/4"}));
  EXPECT_FALSE(editor.Saved());
}

TEST_F(ScriptEditor, AChangedStepKeepsTheEnabledFlagOfTheStepItReplaces) {
  TTesselActionList& g = LoadedGroup();
  for (bool enabled : {true, false}) {
    TTesselAction* old = g.GetAction(2);
    old->Enabled = enabled;
    const TStepPlace place = TScriptEditor::PlaceOf(g, old);
    delete old;
    auto* fresh = new TTesselAction_none;  // new steps arrive disabled
    fresh->Enabled = !enabled;
    editor.ReplaceStep(g, place, fresh);
    EXPECT_EQ(g.GetAction(2), fresh);
    EXPECT_EQ(fresh->Enabled, enabled);
  }
}

TEST(CommandStates, FollowTheRunStateTheSelectionAndTheUnsavedState) {
  TWindowState s;
  s.Saved = true;
  TCommandStates c = CommandStates(s);
  EXPECT_TRUE(c.Run && c.Load && c.GroupAdd && c.Editing);
  EXPECT_FALSE(c.Stop || c.Save || c.GroupDel || c.Add || c.Del || c.Change || c.MaskListing);

  s.Saved = false;
  s.GroupSelected = true;
  c = CommandStates(s);
  EXPECT_TRUE(c.Save && c.GroupDel && c.Add && c.MaskListing);
  EXPECT_FALSE(c.Del || c.Change);
  s.StepsSelected = true;
  c = CommandStates(s);
  EXPECT_TRUE(c.Del && c.Change);

  // Running: only "Стоп" responds.
  s.TimerOn = true;
  c = CommandStates(s);
  EXPECT_TRUE(c.Stop);
  EXPECT_FALSE(c.Run || c.Save || c.Load || c.GroupAdd || c.GroupDel || c.Add || c.Del ||
               c.Change || c.Editing || c.MaskListing);

  // After "Стоп" a pass still finishing its file keeps everything closed,
  // "Стоп" as well.
  s.TimerOn = false;
  s.PassInFlight = true;
  c = CommandStates(s);
  EXPECT_FALSE(c.Stop || c.Run || c.Save || c.Load || c.GroupAdd || c.Editing || c.Change ||
               c.MaskListing);
}

}  // namespace
