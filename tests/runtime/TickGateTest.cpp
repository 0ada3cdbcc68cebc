// One tick: waiting events first, then one pass; never two passes at once,
// and no pass after a Stop handled among the waiting events.
#include <gtest/gtest.h>

#include <climits>

#include "runtime/TickGate.h"

namespace {

TEST(TickGate, LetsEventsThroughBeforeThePass) {
  TTickGate gate;
  std::string order;
  EXPECT_TRUE(gate.Tick([&] { order += "events "; }, [&] { order += "pass"; }));
  EXPECT_EQ(order, "events pass");
  EXPECT_FALSE(gate.Busy());
}

TEST(TickGate, StopAmongTheEventsCancelsThatPassOnly) {
  TTickGate gate;
  int passes = 0;
  EXPECT_FALSE(gate.Tick([&] { gate.NoteStop(); }, [&] { ++passes; }));
  EXPECT_EQ(passes, 0);
  // A Stop before the tick began does not cancel it: the tick of a new run.
  gate.NoteStop();
  EXPECT_TRUE(gate.Tick([] {}, [&] { ++passes; }));
  EXPECT_EQ(passes, 1);
}

TEST(TickGate, ATickReachedFromInsideATickRunsNoPass) {
  TTickGate gate;
  int passes = 0;
  bool innerRan = true;
  gate.Tick([&] { innerRan = gate.Tick([] {}, [&] { ++passes; }); }, [&] { ++passes; });
  EXPECT_FALSE(innerRan);
  EXPECT_EQ(passes, 1);
  // A pass that itself lets a tick in does not overlap with it either.
  gate.Tick([] {},
            [&] {
              ++passes;
              innerRan = gate.Tick([] {}, [&] { ++passes; });
            });
  EXPECT_FALSE(innerRan);
  EXPECT_EQ(passes, 2);
  EXPECT_FALSE(gate.Busy());
}

TEST(TimerIntervalMs, IsSecondsTimesThousandWithinTheTimersRange) {
  EXPECT_EQ(TimerIntervalMs(10), 10000);
  EXPECT_EQ(TimerIntervalMs(3), 3000);
  EXPECT_EQ(TimerIntervalMs(kMaxIntervalSeconds), kMaxIntervalSeconds * 1000);
  // Beyond that the milliseconds would overflow.
  EXPECT_EQ(TimerIntervalMs(INT_MAX), kMaxIntervalSeconds * 1000);
  EXPECT_GT(static_cast<long long>(kMaxIntervalSeconds + 1) * 1000, INT_MAX);
  EXPECT_EQ(TimerIntervalMs(-5), 0);
}

}  // namespace
