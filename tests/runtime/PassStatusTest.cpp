// The status line's and the group list's account of the passes.
#include <gtest/gtest.h>

#include "runtime/PassStatus.h"

namespace {

class PassTally : public ::testing::Test {
 protected:
  TTesselGroups groups{TStepKinds::NoneOnly()};
  TTesselActionList* a = groups.AddGroup("A");
  TTesselActionList* b = groups.AddGroup("B");
  TTesselActionList* off = groups.AddGroup("Off");
  TPassTally tally;
  TRunTotals totals;

  void SetUp() override {
    a->Enabled = b->Enabled = true;
    off->Run().LastPass.Delivered = 100;  // from long ago: never counted
    off->Run().LastPass.EndTime = 5;
  }
  // What a pass does to a group it reaches.
  static void Ran(TTesselActionList* g, int delivered, int bad, int left) {
    ++g->Run().Passes;
    g->Run().LastPass = {};
    g->Run().LastPass.Delivered = delivered;
    g->Run().LastPass.Bad = bad;
    g->Run().LastPass.Left = left;
    g->Run().LastPass.EndTime = 1000;
  }
};

TEST_F(PassTally, AddsTheGroupsAPassRanAndOnlyThose) {
  tally.Before(groups);
  Ran(a, 1, 1, 1);
  Ran(b, 2, 0, 0);
  tally.After(groups, totals, "12.05.26 10:15:03");
  EXPECT_EQ(totals.Delivered, 3);
  EXPECT_EQ(totals.Bad, 1);
  EXPECT_EQ(totals.Left, 1);
  EXPECT_EQ(totals.LastPassTime, "12.05.26 10:15:03");
  EXPECT_EQ(off->Run().LastPass.EndTime, 5);

  // Two passes within the same second, both counted; a stop kept the second
  // from B, whose counts are not added again; the tally changes no group.
  tally.Before(groups);
  Ran(a, 1, 0, 0);
  tally.After(groups, totals, "12.05.26 10:15:03");
  EXPECT_EQ(totals.Delivered, 4);
  EXPECT_EQ(b->Run().LastPass.EndTime, 1000);
  EXPECT_EQ(b->Run().LastPass.Delivered, 2);
}

TEST_F(PassTally, CountsFilesNotEvents) {
  // A file that waits three passes waits once; what A passes on to B's
  // source folder is delivered once, by B.
  for (int pass = 0; pass < 3; ++pass) {
    tally.Before(groups);
    Ran(a, 0, 0, 1);
    a->Run().LastPass.Held = 1;
    Ran(b, 0, 0, 0);
    tally.After(groups, totals, "t");
  }
  EXPECT_EQ(totals.Left, 1);
  EXPECT_EQ(totals.Held, 1);

  tally.Before(groups);
  Ran(a, 4, 0, 0);
  a->Run().LastPass.PassedOn = 4;
  Ran(b, 4, 0, 0);
  tally.After(groups, totals, "t");
  EXPECT_EQ(totals.Delivered, 4);
  EXPECT_EQ(totals.Left, 0);

  // A group switched off no longer counts as waiting.
  tally.Before(groups);
  Ran(a, 0, 0, 2);
  tally.After(groups, totals, "t");
  EXPECT_EQ(totals.Left, 2);
  a->Enabled = false;
  tally.Before(groups);
  tally.After(groups, totals, "t");
  EXPECT_EQ(totals.Left, 0);
}

TEST(StatusLine, TellsTheLastPassTheTotalsWhyFilesWaitAndThePassUnderWay) {
  TRunTotals totals;
  EXPECT_EQ(StatusLineText(totals, std::nullopt, "", false),
            "Последний проход: не было.  После пуска: доставлено 0, в ошибки 0.  Ожидают: 0.");
  totals = {5, 1, 3, "12.05.26 10:15:03"};
  totals.Held = 2;
  totals.Writing = 1;
  EXPECT_EQ(StatusLineText(totals, TBackgroundPass::TProgress{0, 3, 10}, "Исходящие", false),
            "Последний проход: 12.05.26 10:15:03.  После пуска: доставлено 5, в ошибки 1.  "
            "Ожидают: 3 (ключ или библиотека 2, идёт запись 1).  Проход: группа \"Исходящие\", "
            "файл 3 из 10.");
  EXPECT_EQ(StatusLineText(totals, TBackgroundPass::TProgress{0, 3, 10}, "Исходящие", true),
            "Последний проход: 12.05.26 10:15:03.  После пуска: доставлено 5, в ошибки 1.  "
            "Ожидают: 3 (ключ или библиотека 2, идёт запись 1).  Стоп: проход закончится после "
            "текущего файла.");

  // A large file shows the bytes its step has written; a pass between
  // files says what it does.
  TBackgroundPass::TProgress progress{0, 3, 10};
  progress.What = "Шифровать";
  progress.Bytes = 64u << 20;
  progress.Done = 16u << 20;
  EXPECT_TRUE(
      StatusLineText(totals, progress, "Исходящие", false)
          .ends_with("  Проход: группа \"Исходящие\", файл 3 из 10, Шифровать: 16 из 64 МиБ."));
  progress = {};
  progress.Group = -1;
  progress.What = "Восстановление журнала доставки";
  EXPECT_TRUE(StatusLineText(totals, progress, "", false)
                  .ends_with(".  Проход: Восстановление журнала доставки."));
}

TEST(GroupPassText, CountsDurationAndAMissingSourceFolder) {
  TPassCounts c;
  EXPECT_EQ(GroupPassText(c), "Проходов ещё не было");
  c = {4, 3, 1, 1, 2, false, 1249, 1000};
  EXPECT_EQ(GroupPassText(c),
            "Последний проход: найдено 4, взято 3, доставлено 1, в ошибки 1, оставлено 2 (1,2 с)");
  c = {};
  c.SourceMissing = true;
  c.DurationMs = 35;
  c.EndTime = 1;
  EXPECT_EQ(GroupPassText(c),
            "Последний проход: найдено 0, взято 0, доставлено 0, в ошибки 0, оставлено 0 (0,0 с)\n"
            "Папка исходных файлов не найдена или не читается");
}

}  // namespace
