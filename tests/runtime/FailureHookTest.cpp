// The failure command: once per episode with the failure in its
// environment, at most one run at a time and starts a minute apart (the
// episodes between told together), never waited for by the pass, its own
// failure one line.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/Cp1251.h"
#include "runtime/FailureHook.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::ScopedLogFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using Clock = TFailureHook::Clock;
using namespace std::chrono_literals;

TFailureEvent Starting(const std::string& group, const std::string& file, int code) {
  TFailureEvent event;
  event.Group = group;
  event.File = file;
  event.Reason = "Не найден ключ BANK в папке /keys/secret/";
  event.Code = code;
  event.Class = TFailureClass::Environment;
  event.Starts = true;
  return event;
}

bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 3000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(FileExists(path) ? ReadFile(path) : "");
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class FailureHook : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "t.log"};
  std::string runs = dir.Path() + "runs.txt";
  std::string go = dir.Path() + "go";
  // Appends one line per run: the variables it was given.
  std::string Record() const {
    return "printf '%s|%s|%s|%s|%s|%s\\n' \"$TESSEL_GROUP\" \"$TESSEL_FILE\" \"$TESSEL_REASON\" "
           "\"$TESSEL_CODE\" \"$TESSEL_CLASS\" \"$TESSEL_EPISODES\" >> '" + runs + "'";
  }
  // Notes its start, waits for the test's go, then records.
  std::string Held() const {
    return "echo start >> '" + runs + "'; while [ ! -e '" + go + "' ]; do sleep 0.02; done; " +
           Record();
  }
  // Polls at the given time until nothing runs.
  static void Reap(TFailureHook& hook, Clock::time_point at) {
    ASSERT_TRUE(Eventually([&] {
      const auto next = hook.Poll(at);
      return !next || *next > at + 1s;
    }));
  }
};

TEST_F(FailureHook, RunsOncePerEpisodeWithTheFailureInItsEnvironment) {
  TFailureHook hook(Record());
  const Clock::time_point t0 = Clock::now();
  TFailureEvent first = Starting("Исходящие", "pay0001.txt", 17);
  hook.Note(first, t0);
  // The episode's later events and its end run nothing.
  TFailureEvent again = first;
  again.Starts = false;
  hook.Note(again, t0 + 2min);
  TFailureEvent cleared = again;
  cleared.Cleared = true;
  hook.Note(cleared, t0 + 3min);
  ASSERT_TRUE(hook.Finish(30s));
  EXPECT_EQ(Lines(runs),
            std::vector<std::string>{platform::Cp1251ToUtf8(
                "Исходящие|pay0001.txt|Не найден ключ BANK в папке /keys/secret/|17|environment|1")});
  EXPECT_EQ(log.Fields(), std::vector<std::string>{});

  // Without a command nothing runs.
  TFailureHook none("");
  none.Note(first, t0);
  EXPECT_FALSE(none.Poll(t0));
  EXPECT_TRUE(none.Finish(1s));
}

TEST_F(FailureHook, EpisodesWithinAMinuteOfARunAreToldTogetherByTheNext) {
  TFailureHook hook(Record());
  const Clock::time_point t0 = Clock::now();
  hook.Note(Starting("A", "a.txt", 1), t0);
  Reap(hook, t0);
  ASSERT_EQ(Lines(runs).size(), 1u);

  hook.Note(Starting("B", "b.txt", 2), t0 + 10s);
  hook.Note(Starting("C", "c.txt", 3), t0 + 20s);
  const auto due = hook.Poll(t0 + 30s);
  ASSERT_TRUE(due);
  EXPECT_EQ(*due, t0 + TFailureHook::kMinGap);
  EXPECT_EQ(Lines(runs).size(), 1u) << "nothing runs within the gap";

  Reap(hook, t0 + TFailureHook::kMinGap);
  EXPECT_EQ(Lines(runs),
            (std::vector<std::string>{
                "A|a.txt|" + platform::Cp1251ToUtf8(Starting("", "", 0).Reason) + "|1|environment|1",
                "B|b.txt|" + platform::Cp1251ToUtf8(Starting("", "", 0).Reason) + "|2|environment|2"}));
}

TEST_F(FailureHook, TheCallerNeverWaitsAndOneRunGoesAtATime) {
  TFailureHook hook(Held());
  const Clock::time_point t0 = Clock::now();
  // The run waits for go, which comes only after Note has returned.
  hook.Note(Starting("A", "a.txt", 1), t0);
  ASSERT_TRUE(Eventually([&] { return Lines(runs).size() == 1; }));
  // Long after the gap, but the first run still goes: this one waits for it.
  hook.Note(Starting("B", "b.txt", 2), t0 + 10min);
  EXPECT_TRUE(hook.Poll(t0 + 10min));
  WriteFile(go, "");
  ASSERT_TRUE(hook.Finish(30s));
  const std::vector<std::string> lines = Lines(runs);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "start");
  EXPECT_TRUE(lines[1].starts_with("A|")) << lines[1];
  EXPECT_EQ(lines[2], "start");
  EXPECT_TRUE(lines[3].starts_with("B|")) << lines[3];
}

TEST_F(FailureHook, FinishGivesUpAtItsLimit) {
  TFailureHook hook(Held());
  hook.Note(Starting("A", "a.txt", 1), Clock::now());
  EXPECT_FALSE(hook.Finish(100ms));
  WriteFile(go, "");
  EXPECT_TRUE(hook.Finish(30s));
}

TEST_F(FailureHook, AFailingCommandIsOneFailureLineUntilItSucceedsAgain) {
  const std::string ok = dir.Path() + "ok";
  TFailureHook hook("[ -e '" + ok + "' ] || exit 3");
  const Clock::time_point t0 = Clock::now();
  hook.Note(Starting("A", "a.txt", 1), t0);
  Reap(hook, t0);
  hook.Note(Starting("B", "b.txt", 1), t0 + 2min);
  Reap(hook, t0 + 2min);
  const std::string line = "Команда при сбое - ошибка\t" + hook.Command() + "\tкод завершения 3";
  EXPECT_EQ(log.Fields(), std::vector<std::string>{line});

  WriteFile(ok, "");
  hook.Note(Starting("C", "c.txt", 1), t0 + 4min);
  Reap(hook, t0 + 4min);
  std::remove(platform::Cp1251ToUtf8(ok).c_str());
  hook.Note(Starting("D", "d.txt", 1), t0 + 6min);
  Reap(hook, t0 + 6min);
  EXPECT_EQ(log.Fields(), (std::vector<std::string>{line, line}));
}

}  // namespace
