// The rules of the service between and after passes, without running one:
// when passes are due, what once's exit status says, the metrics text, the
// terminal text and the mask tester's lines.
#include <gtest/gtest.h>

#include <clocale>

#include "app/tessel/CommandLine.h"
#include "app/tessel/Console.h"
#include "app/tessel/Listing.h"
#include "app/tessel/Runner.h"
#include "crypto/CryptoActions.h"
#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "runtime/Metrics.h"
#include "runtime/PassSchedule.h"
#include "runtime/TickGate.h"

namespace {

using namespace std::chrono_literals;
using Clock = TPassSchedule::Clock;

TEST(PassSchedule, PassesKeepTheirBeatAndALongPassIsFollowedByOneAtOnce) {
  const Clock::time_point t0{};
  TPassSchedule schedule(t0, 3000ms);
  // The first pass one interval after the start, as the window's timer.
  EXPECT_FALSE(schedule.IsDue(t0 + 2999ms));
  EXPECT_TRUE(schedule.IsDue(t0 + 3s));
  // Woken a little late: the beat stays on the start's grid.
  schedule.PassStarting(t0 + 3010ms);
  EXPECT_EQ(schedule.Due(), t0 + 6s);
  schedule.PassStarting(t0 + 6s);
  EXPECT_EQ(schedule.Due(), t0 + 9s);

  // A pass from 9 s to 20 s: the ticks of 12, 15 and 18 s make one pass
  // right after it, and the next comes an interval after that one.
  schedule.PassStarting(t0 + 9s);
  EXPECT_EQ(schedule.Due(), t0 + 12s);
  EXPECT_TRUE(schedule.IsDue(t0 + 20s));
  schedule.PassStarting(t0 + 20s);
  EXPECT_EQ(schedule.Due(), t0 + 23s);
  EXPECT_FALSE(schedule.IsDue(t0 + 22s));

  schedule.Restart(t0 + 24s, 10000ms);
  EXPECT_EQ(schedule.Due(), t0 + 34s);
  EXPECT_EQ(schedule.Interval(), 10000ms);
}

TEST(PassInterval, AStoredIntervalIsTakenAsTheWindowsFieldHoldsIt) {
  EXPECT_EQ(PassInterval(3), 3000ms);
  EXPECT_EQ(PassInterval(60), 60000ms);
  EXPECT_EQ(PassInterval(1), 3000ms) << "the field's minimum";
  EXPECT_EQ(PassInterval(-5), 3000ms);
  // Past the timer's largest, as the field stops there.
  EXPECT_EQ(PassInterval(2147483647), std::chrono::milliseconds(kMaxIntervalSeconds * 1000LL));
}

class GroupsTest : public ::testing::Test {
 protected:
  TTesselGroups registry{CryptoStepKinds()};
  TTesselActionList* Group(const std::string& name, int taken, int delivered, int bad, int left,
                           std::time_t end) {
    TTesselActionList* group = registry.AddGroup(name);
    group->Run().LastPass.Taken = taken;
    group->Run().LastPass.Delivered = delivered;
    group->Run().LastPass.Bad = bad;
    group->Run().LastPass.Left = left;
    group->Run().LastPass.DurationMs = 1500;
    group->Run().LastPass.EndTime = end;
    return group;
  }
};

TEST_F(GroupsTest, OncesStatusCountsTheGroupsThatRan) {
  EXPECT_EQ(PassExitStatus(registry), kExitOk) << "no groups";
  Group("a", 2, 2, 0, 0, 100);
  EXPECT_EQ(PassExitStatus(registry), kExitOk);
  // A group that did not run in this pass keeps no end time.
  Group("old", 1, 0, 1, 0, 0);
  EXPECT_EQ(PassExitStatus(registry), kExitOk);
  Group("left", 1, 0, 0, 1, 100);
  EXPECT_EQ(PassExitStatus(registry), kExitFilesFailed);
  registry.DeleteGroup(2);
  Group("bad", 3, 2, 1, 0, 100);
  EXPECT_EQ(PassExitStatus(registry), kExitFilesFailed);
}

std::string Line(const std::string& text, const std::string& start) {
  const size_t at = text.find(start);
  if (at == std::string::npos) return "";
  return text.substr(at, text.find('\n', at) - at);
}

TEST_F(GroupsTest, MetricsCountFilesWaitingNowFailuresAndWhatLeftTheScript) {
  TMetrics metrics;
  const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  TTesselActionList* out = Group("out", 4, 4, 0, 2, 100);
  out->Run().LastPass.PassedOn = 4;
  out->Run().LastPass.Held = 2;
  out->Run().Hold.emplace().Since = start;
  Group("in", 4, 4, 0, 0, 100)->Run().LastPass.SourceMissing = true;
  TFailureEvent event;
  event.Group = "out";
  event.Code = 6;
  event.Class = TFailureClass::Environment;
  event.Starts = true;
  metrics.NoteFailure(event);
  event.Cleared = true;
  metrics.NoteFailure(event);  // a mend is no failure
  // The same file waits through three passes.
  for (int pass = 0; pass < 3; ++pass) metrics.NotePass(registry, start + std::chrono::seconds(90));
  const std::string text = metrics.Text();
  EXPECT_EQ(Line(text, "tessel_files_waiting{group=\"out\",reason=\"held\"}"),
            "tessel_files_waiting{group=\"out\",reason=\"held\"} 2");
  EXPECT_EQ(Line(text, "tessel_oldest_waiting_file_age_seconds{group=\"out\"}"),
            "tessel_oldest_waiting_file_age_seconds{group=\"out\"} 90");
  EXPECT_EQ(Line(text, "tessel_source_folder_missing{group=\"in\"}"),
            "tessel_source_folder_missing{group=\"in\"} 1");
  EXPECT_EQ(Line(text, "tessel_failures_total{"),
            "tessel_failures_total{group=\"out\",class=\"environment\",code=\"6\"} 1");
  // Four files passed from "out" to "in" and delivered by it, three times over.
  EXPECT_EQ(Line(text, "tessel_script_files_total{outcome=\"delivered\"}"),
            "tessel_script_files_total{outcome=\"delivered\"} 12");
  EXPECT_EQ(Line(text, "tessel_files_total{group=\"out\",outcome=\"left\"}"), "")
      << "files that wait are no total";
}

TEST_F(GroupsTest, MetricsAddUpPassesAndNameGroupsAsTheScriptDoes) {
  // Prometheus wants a point, whatever the operator's locale.
  const char* oldLocale = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = oldLocale ? oldLocale : "C";
  std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");

  TMetrics metrics;
  metrics.SetLibraryOpen(true);
  Group("Исходящие \"банка\"\\1", 4, 3, 1, 0, 1700000000);
  Group("never", 9, 9, 0, 0, 0);
  metrics.NotePass(registry);
  std::string text = metrics.Text();
  EXPECT_NE(text.find("# TYPE tessel_library_open gauge\ntessel_library_open 1\n"),
            std::string::npos);
  const std::string escaped = platform::Cp1251ToUtf8("Исходящие \\\"банка\\\"\\\\1");
  const std::string label = "group=\"" + escaped + "\"";
  EXPECT_EQ(MetricLabelValue("Исходящие \"банка\"\\1"), escaped) << "UTF-8, escaped";
  EXPECT_EQ(Line(text, "tessel_last_pass_files{" + label + ",outcome=\"delivered\"}"),
            "tessel_last_pass_files{" + label + ",outcome=\"delivered\"} 3");
  EXPECT_EQ(Line(text, "tessel_last_pass_duration_seconds{"),
            "tessel_last_pass_duration_seconds{" + label + "} 1.500");
  EXPECT_EQ(Line(text, "tessel_last_pass_end_time_seconds{"),
            "tessel_last_pass_end_time_seconds{" + label + "} 1700000000");
  EXPECT_EQ(text.find("never"), std::string::npos) << "a group that never ran";

  // The next pass: last-pass figures replaced, totals added up; two groups
  // of one name count as one.
  registry.GetGroup(0)->Run().LastPass = {
      .Taken = 1, .Delivered = 1, .DurationMs = 20, .EndTime = 1700000010};
  registry.GetGroup(1)->Run().LastPass = {};
  Group("Исходящие \"банка\"\\1", 2, 1, 1, 0, 1700000011)->Run().LastPass.Bad = 1;
  metrics.NotePass(registry);
  metrics.SetLibraryOpen(false);
  text = metrics.Text();
  EXPECT_EQ(Line(text, "tessel_last_pass_files{" + label + ",outcome=\"taken\"}"),
            "tessel_last_pass_files{" + label + ",outcome=\"taken\"} 3");
  EXPECT_EQ(Line(text, "tessel_files_total{" + label + ",outcome=\"taken\"}"),
            "tessel_files_total{" + label + ",outcome=\"taken\"} 7");
  EXPECT_EQ(Line(text, "tessel_files_total{" + label + ",outcome=\"bad\"}"),
            "tessel_files_total{" + label + ",outcome=\"bad\"} 2");
  EXPECT_EQ(Line(text, "tessel_last_pass_duration_seconds{"),
            "tessel_last_pass_duration_seconds{" + label + "} 1.520");
  EXPECT_EQ(Line(text, "tessel_last_pass_end_time_seconds{"),
            "tessel_last_pass_end_time_seconds{" + label + "} 1700000011");
  EXPECT_NE(text.find("tessel_library_open 0\n"), std::string::npos);
  // Every sample line is "name{labels} value" or a comment; the text ends in a line feed.
  EXPECT_EQ(text.back(), '\n');
  for (size_t pos = 0; pos < text.size();) {
    const std::string line = text.substr(pos, text.find('\n', pos) - pos);
    pos += line.size() + 1;
    if (line.rfind("# ", 0) == 0) continue;
    EXPECT_EQ(line.rfind("tessel_", 0), 0u) << line;
    EXPECT_NE(line.find(' '), std::string::npos) << line;
  }

  // After a reload without the group it is gone.
  registry.ClearGroups();
  registry.AddGroup("other");
  metrics.KeepOnly(registry);
  EXPECT_EQ(metrics.Text().find(platform::Cp1251ToUtf8("банка")), std::string::npos);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Console, TheTerminalGetsUtf8AndNoControlCharacters) {
  EXPECT_EQ(ForTerminal("Чтение\tнастроек\n"), platform::Cp1251ToUtf8("Чтение\tнастроек\n"));
  EXPECT_EQ(ForTerminal("a\x1b[2Jb\rc\x7f"), "a?[2Jb?c?");
  // Windows-1251 bytes become their UTF-8 letters.
  EXPECT_EQ(ForTerminal("\xc0\xff"), "\xd0\x90\xd1\x8f");
}

TEST_F(GroupsTest, TheListingShowsTakenExcludedWaitingAndTheEnabledSteps) {
  TTesselActionList* group = registry.AddGroup("Исходящие");
  group->Enabled = true;
  group->DestFolder = "/out";
  group->BadFolder = "/bad";
  auto* sign = static_cast<TTesselAction_sign*>(group->CreateAction(kKindSign));
  ASSERT_NE(sign, nullptr);
  sign->KeyId = "BANK";
  sign->Enabled = true;
  group->CreateAction(kKindNone);  // disabled: not shown
  TTesselAction* none = group->CreateAction(kKindNone);
  none->Enabled = true;
  none->CopyTo = "/arch";

  TMaskListing listing;
  listing.Folder = "/in/";
  listing.FolderFound = true;
  listing.Taken = {"a.txt", "b.txt"};
  listing.Excluded = {"c.tmp"};
  listing.Waiting.push_back({"d.txt", "ещё пишется"});
  EXPECT_EQ(
      ListingLines(*group, listing),
      (std::vector<std::string>{
          "Группа \"Исходящие\"", "  Папка: /in/", "  Берёт (2):", "    a.txt", "    b.txt",
          "  Исключает (1):", "    c.tmp", "  Оставит до следующего прохода (1):",
          "    d.txt - ещё пишется", "  Включённые шаги (2):", "    1. Подписать; Ключ: BANK",
          "    3. Ничего не делать; копия в /arch", "  Результат в: /out", "  Ошибки в: /bad"}));

  group->Enabled = false;
  listing.FolderFound = false;
  const std::vector<std::string> lines = ListingLines(*group, listing);
  EXPECT_EQ(lines[0], "Группа \"Исходящие\" (выключена)");
  EXPECT_EQ(lines[1], "  Папка /in/ не найдена или не читается");
  EXPECT_EQ(lines[2], "  Включённые шаги (2):");
}

}  // namespace
