// The name proposed for a new group and the names the settings file cannot keep.
#include <gtest/gtest.h>

#include "runtime/GroupNames.h"

namespace {

TEST(ProposeGroupName, TakesTheFirstFreeNumber) {
  EXPECT_EQ(ProposeGroupName({}), "Без названия 1");
  EXPECT_EQ(ProposeGroupName({"Без названия 1", "Без названия 3"}), "Без названия 2");
  EXPECT_EQ(ProposeGroupName({"Без названия 2", "Без названия 1", "Без названия 3"}),
            "Без названия 4");
  // Names that only look alike do not count.
  EXPECT_EQ(ProposeGroupName({"Без названия 1 ", "Без названия 01", "Out"}), "Без названия 1");
}

TEST(ProposeGroupName, IgnoresLetterCaseOfCyrillicAndLatin) {
  EXPECT_EQ(ProposeGroupName({"БЕЗ НАЗВАНИЯ 1"}), "Без названия 2");
  EXPECT_EQ(ProposeGroupName({"без названия 1", "бЕЗ нАЗВАНИЯ 2"}), "Без названия 3");
}

TEST(GroupNameProblem, AcceptsOrdinaryNamesUnchanged) {
  const std::vector<std::string> existing = {"Исходящие", "Out"};
  for (const std::string name : {"Входящие", "In", "a=b", "Путь\\к\\папке", "ACTION_1",
                                 "X\\action_1", "[x", "; comment", "Outgoing"})
    EXPECT_EQ(GroupNameProblem(name, existing), "") << name;
}

TEST(GroupNameProblem, RefusesNamesTheSettingsFileCannotKeep) {
  const std::vector<std::string> existing = {"Исходящие", "Out"};
  EXPECT_NE(GroupNameProblem("", existing), "");
  EXPECT_NE(GroupNameProblem("a]b", existing), "");
  EXPECT_NE(GroupNameProblem("a\nb", existing), "");
  EXPECT_NE(GroupNameProblem("a\rb", existing), "");
  EXPECT_NE(GroupNameProblem("Out\\ACTION_0", existing), "");
  EXPECT_NE(GroupNameProblem("x\\ACTION_", existing), "");
  // Equal apart from letter case would share the sections of the other group.
  EXPECT_NE(GroupNameProblem("Out", existing), "");
  EXPECT_NE(GroupNameProblem("oUT", existing), "");
  EXPECT_NE(GroupNameProblem("ИСХОДЯЩИЕ", existing), "");
}

TEST(GroupNameProblem, SaysWhatIsWrong) {
  const std::vector<std::string> existing = {"Out"};
  EXPECT_EQ(GroupNameProblem("", existing), "Название группы не может быть пустым.");
  EXPECT_EQ(GroupNameProblem("OUT", existing),
            "Группа с таким названием уже есть (большие и малые буквы не различаются).");
  EXPECT_EQ(GroupNameProblem("a]", existing), "Название группы не может содержать символ \"]\".");
}

}  // namespace
