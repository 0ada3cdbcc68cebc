#include <gtest/gtest.h>

#include "engine/uTesselTypes.h"
#include "tests/engine/FakeStep.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class ModelTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "model.log"};
  TTesselGroups registry{TStepKinds::NoneOnly()};
};

TEST_F(ModelTest, OutOfRangeGroupIsLoggedAndYieldsNone) {
  for (const char* name : {"A", "B", "C"}) registry.AddGroup(name);
  EXPECT_EQ(registry.GetGroup(3), nullptr);
  EXPECT_EQ(registry.GetGroup(-1), nullptr);
  EXPECT_EQ(log.Fields(),
            (std::vector<std::string>{"Попытка доступа к элементу №3. Количество элементов = 3",
                                      "Попытка доступа к элементу №-1. Количество элементов = 3"}));
}

TEST_F(ModelTest, DeleteGroupOutOfRangeDoesNothingSilently) {
  for (const char* name : {"A", "B", "C"}) registry.AddGroup(name);
  registry.DeleteGroup(3);
  registry.DeleteGroup(-1);
  EXPECT_EQ(registry.GroupCount(), 3);
  EXPECT_TRUE(log.Fields().empty());
  registry.DeleteGroup(1);
  ASSERT_EQ(registry.GroupCount(), 2);
  EXPECT_EQ(registry.GetGroup(1)->Name, "C");
}

TEST_F(ModelTest, ItemListOwnsNothingAndSearchesFromTheEnd) {
  TItemList<TTesselAction> list;
  TTesselAction_none a, b;
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  EXPECT_EQ(list.Add(&a), 2);
  EXPECT_EQ(list.IndexOf(&a), 2);
  EXPECT_EQ(list.IndexOf(nullptr), -1);
  list.Delete(0);
  EXPECT_EQ(list.Get(0), &b);
  list.Put(5, &a);  // rejected, logged
  EXPECT_EQ(list.Count(), 2);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(log.Fields().size(), 1u);
}

TEST_F(ModelTest, CreateActionMakesDisabledDoNothingStepsOnlyForKnownCodes) {
  TTesselActionList* group = registry.AddGroup("G");
  EXPECT_FALSE(group->Enabled);
  TTesselAction* step = group->CreateAction(kKindNone);
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->GetKind(), kKindNone);
  EXPECT_FALSE(step->Enabled);
  EXPECT_TRUE(step->CopyTo.empty());
  EXPECT_EQ(step->GetCaption(), "Ничего не делать");
  EXPECT_EQ(step->GetParamText(), "");
  // The engine by itself makes no cryptographic step.
  for (int code : {kKindSign, kKindCheckSign, kKindDelSign, kKindEncrypt, kKindDecrypt})
    EXPECT_EQ(group->CreateAction(code), nullptr);
  EXPECT_EQ(group->CreateAction(6), nullptr);
  EXPECT_EQ(group->CreateAction(-1), nullptr);
  EXPECT_EQ(group->CreateAction(256 + kKindNone), nullptr);
  EXPECT_EQ(group->ActionCount(), 1);
}

TEST_F(ModelTest, ReplaceActionPutsTheNewStepInPlaceAndLeavesOthersAlone) {
  TTesselActionList* group = registry.AddGroup("G");
  TTesselAction* first = group->CreateAction(kKindNone);
  TTesselAction* second = group->CreateAction(kKindNone);
  TTesselAction_none outsider;
  auto* replacement = new TTesselAction_none;
  group->ReplaceAction(&outsider, replacement);  // not in the group: nothing changes
  EXPECT_EQ(group->GetAction(0), first);
  EXPECT_EQ(group->GetAction(1), second);
  group->ReplaceAction(first, replacement);
  EXPECT_EQ(group->GetAction(0), replacement);
  delete first;  // the caller disposes of the replaced step
  group->DeleteAction(1);
  EXPECT_EQ(group->ActionCount(), 1);
}

TEST_F(ModelTest, DoNothingStepCopiesItsInputAndSucceedsEvenWhenTheCopyFails) {
  const std::string input = dir.Sub("work/a.txt");
  WriteFile(input, "data");
  TTesselAction_none step;
  step.CopyTo = dir.Path() + "no-such-folder";
  std::string output = dir.Path() + "other/a.txt";
  EXPECT_TRUE(step.Execute(input, output));
  EXPECT_EQ(output, input);
  const auto fields = log.Fields();
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(fields[0], "Копия - ошибка\tNo such file or directory");

  step.CopyTo = dir.Sub("copies/");
  WriteFile(step.CopyTo + "a.txt", "older content");
  EXPECT_TRUE(step.Execute(input, output));
  EXPECT_EQ(ReadFile(step.CopyTo + "a.txt"), "data");
  EXPECT_EQ(log.Fields().back(), "Копия - успешно\t" + step.CopyTo + "a.txt");
}

TEST_F(ModelTest, CopyCarriesTheInputsNameAndTheOutputsContent) {
  TFakeStep step("S");
  step.CopyTo = dir.Sub("copies/");
  step.CopyTo.pop_back();  // no final delimiter
  const std::string input = dir.Sub("w0/pay.txt");
  WriteFile(input, "x");
  std::string output = dir.Sub("w1/pay.txt");
  ASSERT_TRUE(step.Execute(input, output));
  EXPECT_EQ(ReadFile(dir.Path() + "copies/pay.txt"), "x+S");
}

}  // namespace
