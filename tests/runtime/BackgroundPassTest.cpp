// The window's passes on their own thread, without a window: reports reach
// the window's thread complete and in order, passes never overlap, and a stop
// asked for from the window's thread ends a pass after the file in hand.
// Built as its own Qt-free program so that it can run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

#include "history/HistoryStore.h"
#include "history/PassHistory.h"
#include "runtime/BackgroundPass.h"
#include "tests/engine/FakeStep.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

// The window's side: woken from the pass's thread, it takes the reports on
// the test's thread, as the window does on its own.
class Window {
  // Declared before the pass, so they outlive its thread's last wake.
  std::mutex mutex_;
  std::condition_variable woken_;
  bool pending_ = false;

 public:
  TBackgroundPass pass{[this] { Wake(); }};
  std::vector<TBackgroundPass::TLine> lines;
  std::vector<TBackgroundPass::TProgress> progress;
  int wakes = 0;
  int ends = 0;

  // Takes reports until the pass's end has been taken.
  void TakeUntilEnd() {
    while (pass.InFlight()) {
      std::unique_lock lock(mutex_);
      woken_.wait_for(lock, 1s, [this] { return pending_; });
      pending_ = false;
      lock.unlock();
      TBackgroundPass::TReport report = pass.Take();
      for (auto& line : report.Lines) lines.push_back(std::move(line));
      if (report.Progress) progress.push_back(*report.Progress);
      if (report.PassEnded) ++ends;
    }
  }

 private:
  void Wake() {
    std::lock_guard lock(mutex_);
    ++wakes;
    pending_ = true;
    woken_.notify_all();
  }
};

TEST(BackgroundPass, ThePassRunsOnItsOwnThreadAndItsLinesArriveInOrder) {
  Window window;
  std::thread::id passThread;
  constexpr int kLines = 10000;
  ASSERT_TRUE(window.pass.Start([&] {
    passThread = std::this_thread::get_id();
    for (int i = 0; i < kLines; ++i)
      window.pass.AddLine(std::to_string(i), i % 7 ? TLogKind::Normal : TLogKind::Failure);
  }));
  EXPECT_TRUE(window.pass.InFlight());
  window.TakeUntilEnd();
  EXPECT_NE(passThread, std::this_thread::get_id());
  ASSERT_EQ(window.lines.size(), static_cast<size_t>(kLines));
  for (int i = 0; i < kLines; ++i) {
    ASSERT_EQ(window.lines[i].Text, std::to_string(i));
    ASSERT_EQ(window.lines[i].Kind == TLogKind::Failure, i % 7 == 0) << i;
  }
  EXPECT_EQ(window.ends, 1);
  // Woken once per waiting report, not once per line.
  EXPECT_LT(window.wakes, kLines);
  EXPECT_FALSE(window.pass.InFlight());
}

TEST(BackgroundPass, PassesNeverOverlapAndAnEndedPassStaysInFlightUntilTaken) {
  Window window;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> running{0}, most{0}, runs{0};
  auto job = [&] {
    const int now = ++running;
    most = std::max(most.load(), now);
    released.wait();
    ++runs;
    --running;
  };
  ASSERT_TRUE(window.pass.Start(job));
  EXPECT_FALSE(window.pass.Start(job));  // a tick during the pass falls away
  release.set_value();
  window.pass.WaitForEnd();
  // Ended, but the window has not taken its end: still no second pass.
  EXPECT_TRUE(window.pass.InFlight());
  EXPECT_FALSE(window.pass.Start(job));
  window.TakeUntilEnd();
  ASSERT_TRUE(window.pass.Start(job));
  window.TakeUntilEnd();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(most, 1);
  EXPECT_EQ(window.ends, 2);
}

TEST(BackgroundPass, ProgressKeepsTheLatestAndLinesCanBeTakenAheadOfTheRest) {
  Window window;
  std::promise<void> reported, release;
  ASSERT_TRUE(window.pass.Start([&] {
    window.pass.SetProgress(0, 1, 3);
    window.pass.AddLine("a", TLogKind::Normal);
    window.pass.SetProgress(1, 2, 3);
    reported.set_value();
    release.get_future().wait();
  }));
  reported.get_future().wait();
  // A line the window's own thread writes takes the pass's lines first.
  const std::vector<TBackgroundPass::TLine> ahead = window.pass.TakeLines();
  ASSERT_EQ(ahead.size(), 1u);
  EXPECT_EQ(ahead[0].Text, "a");
  TBackgroundPass::TReport report = window.pass.Take();
  EXPECT_TRUE(report.Lines.empty());
  ASSERT_TRUE(report.Progress.has_value());
  EXPECT_EQ(report.Progress->Group, 1);
  EXPECT_EQ(report.Progress->File, 2);
  EXPECT_FALSE(report.PassEnded);
  release.set_value();
  window.TakeUntilEnd();
  EXPECT_EQ(window.ends, 1);
}

TEST(BackgroundPass, DestroyingItWaitsForThePassInHand) {
  std::atomic<bool> finished{false};
  {
    TBackgroundPass pass{nullptr};
    ASSERT_TRUE(pass.Start([&] {
      std::this_thread::sleep_for(50ms);
      finished = true;
    }));
  }
  EXPECT_TRUE(finished);
}

// The real pass on the second thread, stopped from the window's thread while
// it holds its first file.
class BackgroundEnginePass : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  testing_support::ScopedLogFile log{dir.Path() + "t.log"};
  testing_support::ScopedTempPath temp{dir.Sub("tmp/")};
  std::string in = dir.Sub("in/"), out = dir.Sub("out/"), bad = dir.Sub("bad/");

  void SetUp() override { InitEngine(TStepKinds::NoneOnly()); }
  void TearDown() override {
    ScriptRegistry->ClearGroups();
    ScriptRegistry->ClearStop();
    ScriptRegistry->OnFileStart = nullptr;
  }
};

TEST_F(BackgroundEnginePass, AStopEndsThePassAfterTheFileInHandAndLosesNothing) {
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt"})
    testing_support::WriteFile(in + name, name);
  TTesselActionList* g = ScriptRegistry->AddGroup("G");
  g->Enabled = true;
  g->SourceMask = in + "*.txt";
  g->DestFolder = out;
  g->BadFolder = bad;
  std::promise<void> holding, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> hooks{0};
  auto* hook = new THookStep([&](const std::string&) {
    if (++hooks == 1) {
      holding.set_value();
      released.wait();
    }
  });
  hook->Enabled = true;
  g->AddAction(hook);

  Window window;
  ScriptRegistry->OnFileStart = [&](int group, int file, int files) {
    window.pass.SetProgress(group, file, files);
  };
  TLogTarget* old = LogTarget;
  struct Forward : TLogTarget {
    TBackgroundPass* pass;
    void AddLine(const std::string& line, TLogKind kind) override { pass->AddLine(line, kind); }
  } forward;
  forward.pass = &window.pass;
  LogTarget = &forward;

  ASSERT_TRUE(window.pass.Start([] { ScriptRegistry->RunAllGroups(); }));
  holding.get_future().wait();
  ScriptRegistry->RequestStop();  // "Стоп" while the first file is in hand
  release.set_value();
  window.TakeUntilEnd();
  LogTarget = old;

  EXPECT_EQ(hooks, 1);
  EXPECT_EQ(testing_support::ListNames(out).size(), 1u);
  EXPECT_EQ(testing_support::ListNames(in).size(), 3u);
  EXPECT_EQ(g->Run().LastPass.Delivered, 1);
  EXPECT_EQ(g->Run().LastPass.Left, 3);
  ASSERT_FALSE(window.progress.empty());
  EXPECT_EQ(window.progress.back().File, 1);
  EXPECT_EQ(window.progress.back().Files, 4);
  // Every line the log file got reached the window, in the same order.
  std::vector<std::string> shown;
  for (const auto& line : window.lines) shown.push_back(line.Text.substr(line.Text.find('\t') + 1));
  EXPECT_EQ(shown, log.Fields());

  // A pass begun while the stop is still asked for does nothing; after it is
  // withdrawn the rest are carried.
  ASSERT_TRUE(window.pass.Start([] { ScriptRegistry->RunAllGroups(); }));
  window.TakeUntilEnd();
  EXPECT_EQ(testing_support::ListNames(in).size(), 3u);
  ScriptRegistry->ClearStop();
  ASSERT_TRUE(window.pass.Start([] { ScriptRegistry->RunAllGroups(); }));
  window.TakeUntilEnd();
  EXPECT_TRUE(testing_support::ListNames(in).empty());
  EXPECT_EQ(testing_support::ListNames(out).size(), 4u);
  EXPECT_TRUE(testing_support::ListNames(bad).empty());
}

// As the window does: the history is made on the window's thread before a
// pass, written on the pass's thread, and read on the window's while a pass
// is in the middle of a file.
TEST(BackgroundPass, TheHistoryIsWrittenOnThePassThreadAndReadWhileAPassRuns) {
  testing_support::TempDir dir;
  testing_support::ScopedLogFile log{dir.Path() + "w.log"};
  testing_support::ScopedTempPath temp{dir.Sub("tmp/")};
  const std::string in = dir.Sub("in/");
  std::promise<void> inside, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> block{false};
  TTesselGroups registry{TStepKinds::NoneOnly()};
  TTesselActionList* group = registry.AddGroup("G");
  group->Enabled = true;
  group->SourceMask = in + "*";
  group->DestFolder = dir.Sub("out/");
  group->BadFolder = dir.Sub("bad/");
  group->AddAction(new THookStep([&](const std::string&) {
    if (!block) return;
    inside.set_value();
    released.wait();
  }));
  group->GetAction(0)->Enabled = true;
  TPassHistory history("1.0");
  auto records = [&] {
    const auto store = THistoryStore::OpenToRead(dir.Path() + "w.history", nullptr);
    return store ? store->Find({}).size() : 0u;
  };

  Window window;
  testing_support::WriteFile(in + "a.txt", "a");
  registry.Roads = history.For(dir.Path() + "w.ini", 400);
  ASSERT_TRUE(window.pass.Start([&] { registry.RunAllGroups(); }));
  window.TakeUntilEnd();
  EXPECT_EQ(records(), 1u);

  testing_support::WriteFile(in + "b.txt", "b");
  block = true;
  registry.Roads = history.For(dir.Path() + "w.ini", 400);
  ASSERT_TRUE(window.pass.Start([&] { registry.RunAllGroups(); }));
  inside.get_future().wait();
  EXPECT_EQ(records(), 1u);  // read while the pass holds its file
  release.set_value();
  window.TakeUntilEnd();
  EXPECT_EQ(records(), 2u);
}

}  // namespace
