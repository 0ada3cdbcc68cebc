// Every name the group name box accepts comes back from the settings file as
// the same group, with its fields and steps.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/uTesselTypes.h"
#include "runtime/GroupNames.h"
#include "runtime/ScriptSettings.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(GroupNameRoundTrip, AcceptedNamesSurviveSaveAndLoad) {
  testing_support::TempDir dir;
  testing_support::ScopedLogFile log{dir.Path() + "t.log"};
  const std::string ini = dir.Path() + "t.ini";
  for (const std::string name :
       {" lead", "trail ", " ", "\t", " x\t", "\"quoted\"", "'q'", "\"", "[x", "; c", "a=b", "=x",
        "x\\MAIN", "a\tb", "x\\action_0", "Исходящие"}) {
    ASSERT_EQ(GroupNameProblem(name, {}), "") << name;
    ScriptRegistry->ClearGroups();
    TTesselActionList* group = ScriptRegistry->AddGroup(name);
    group->SourceMask = "/in/*";
    group->CreateAction(kKindNone);
    ASSERT_TRUE(SaveScript(ini, 3));
    ScriptRegistry->ClearGroups();
    LoadScript(ini);
    ASSERT_EQ(ScriptRegistry->GroupCount(), 1) << name;
    EXPECT_EQ(ScriptRegistry->GetGroup(0)->Name, name);
    EXPECT_EQ(ScriptRegistry->GetGroup(0)->SourceMask, "/in/*") << name;
    EXPECT_EQ(ScriptRegistry->GetGroup(0)->ActionCount(), 1) << name;
  }
  ScriptRegistry->ClearGroups();
}

// Names that differ from another group's only in blanks, quotes or a section
// look-alike keep their own sections.
TEST(GroupNameRoundTrip, NamesAlikeInTheFileStayApart) {
  testing_support::TempDir dir;
  testing_support::ScopedLogFile log{dir.Path() + "t.log"};
  const std::string ini = dir.Path() + "t.ini";
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"A", " A"},  {"A", "A "},      {"A", "\"A\""}, {"A", "'A'"},
      {"A", "\tA"}, {"A", "A\\MAIN"}, {"A", "[A"}};
  for (const auto& [a, b] : pairs) {
    ASSERT_EQ(GroupNameProblem(b, {a}), "") << b;
    ScriptRegistry->ClearGroups();
    TTesselActionList* g1 = ScriptRegistry->AddGroup(a);
    g1->SourceMask = "/one/*";
    g1->CreateAction(kKindNone);
    TTesselActionList* g2 = ScriptRegistry->AddGroup(b);
    g2->SourceMask = "/two/*";
    g2->CreateAction(kKindNone);
    g2->CreateAction(kKindNone);
    ASSERT_TRUE(SaveScript(ini, 3));
    ScriptRegistry->ClearGroups();
    LoadScript(ini);
    ASSERT_EQ(ScriptRegistry->GroupCount(), 2) << b;
    EXPECT_EQ(ScriptRegistry->GetGroup(0)->SourceMask, "/one/*") << "[" << b << "]";
    EXPECT_EQ(ScriptRegistry->GetGroup(0)->ActionCount(), 1) << "[" << b << "]";
    EXPECT_EQ(ScriptRegistry->GetGroup(1)->Name, b);
    EXPECT_EQ(ScriptRegistry->GetGroup(1)->SourceMask, "/two/*") << "[" << b << "]";
    EXPECT_EQ(ScriptRegistry->GetGroup(1)->ActionCount(), 2) << "[" << b << "]";
  }
  ScriptRegistry->ClearGroups();
}

}  // namespace
