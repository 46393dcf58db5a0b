// Timers, DPCs and waits against the virtual clock.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "kernel/kernel.h"
#include "kernel/testing/kernel_model.h"

namespace {

using kmodel::Milliseconds;

struct TimerProbe {
  KTIMER timer;
  KDPC dpc;
  int runs = 0;
  int64_t ranAt = 0;
  KIRQL irql = PASSIVE_LEVEL;
  // Something for the routine to do to another timer first.
  TimerProbe* other = nullptr;
  bool removeOthersDpc = false;
  BOOLEAN otherResult = FALSE;
};

void ProbeRoutine(PKDPC, PVOID context, PVOID, PVOID) {
  auto* probe = static_cast<TimerProbe*>(context);
  LARGE_INTEGER now;
  KeQuerySystemTime(&now);
  probe->ranAt = now.QuadPart;
  probe->irql = KeGetCurrentIrql();
  ++probe->runs;
  if (probe->other) {
    probe->otherResult = probe->removeOthersDpc ? KeRemoveQueueDpc(&probe->other->dpc)
                                                : KeCancelTimer(&probe->other->timer);
  }
}

void Init(TimerProbe& probe) {
  KeInitializeTimer(&probe.timer);
  KeInitializeDpc(&probe.dpc, ProbeRoutine, &probe);
}

BOOLEAN Set(TimerProbe& probe, LONGLONG dueTime) {
  LARGE_INTEGER due;
  due.QuadPart = dueTime;
  return KeSetTimer(&probe.timer, due, &probe.dpc);
}

class TimerTest : public ::testing::Test {
 protected:
  kmodel::Kernel kernel_;
};

TEST_F(TimerTest, ATimerFiresAtItsDueMomentAndItsDpcRunsAtDispatchLevel) {
  TimerProbe probe;
  Init(probe);
  int64_t start = kernel_.Now();
  EXPECT_FALSE(Set(probe, -Milliseconds(250)));
  kernel_.AdvanceTo(start + Milliseconds(250) - 1);
  EXPECT_EQ(probe.runs, 0);
  EXPECT_FALSE(KeReadStateTimer(&probe.timer));
  kernel_.AdvanceTo(start + Milliseconds(250));
  EXPECT_EQ(probe.runs, 1);
  EXPECT_EQ(probe.ranAt, start + Milliseconds(250));
  EXPECT_EQ(probe.irql, DISPATCH_LEVEL);
  EXPECT_TRUE(KeReadStateTimer(&probe.timer));
  kernel_.AdvanceBy(Milliseconds(1000));
  EXPECT_EQ(probe.runs, 1);
}

TEST(TimerTicksTest, DueTimesExpireOnTheFirstTickAtOrAfterThem) {
  struct Row {
    int64_t tick;
    int64_t setAfter;
    LONGLONG due;
    int64_t firesAfter;
  };
  const Row rows[] = {
      {Milliseconds(1), 0, -1, Milliseconds(1)},
      {Milliseconds(1), 0, -Milliseconds(10), Milliseconds(10)},
      {Milliseconds(1), 5'000, -Milliseconds(10), Milliseconds(11)},
      {156'250, 0, -1, 156'250},
      {156'250, 0, -Milliseconds(250), Milliseconds(250)},
      {156'250, 0, -Milliseconds(100), 7 * 156'250},
  };
  for (const Row& row : rows) {
    kmodel::KernelOptions options;
    options.tick = row.tick;
    kmodel::Kernel kernel(options);
    TimerProbe probe;
    Init(probe);
    int64_t start = kernel.Now();
    kernel.AdvanceTo(start + row.setAfter);
    Set(probe, row.due);
    kernel.AdvanceTo(start + row.firesAfter - 1);
    EXPECT_EQ(probe.runs, 0) << "tick " << row.tick << " due " << row.due;
    kernel.AdvanceTo(start + row.firesAfter);
    EXPECT_EQ(probe.runs, 1) << "tick " << row.tick << " due " << row.due;
    EXPECT_EQ(probe.ranAt, start + row.firesAfter);
  }
}

TEST_F(TimerTest, ADueTimeOfZeroOrInThePastExpiresOnTheNextTick) {
  for (LONGLONG due : {LONGLONG{0}, LONGLONG{-1}, LONGLONG{1000}}) {
    TimerProbe probe;
    Init(probe);
    int64_t start = kernel_.Now();
    Set(probe, due);
    kernel_.AdvanceTo(start);
    EXPECT_EQ(probe.runs, 0) << due;
    kernel_.AdvanceTo(start + Milliseconds(1));
    EXPECT_EQ(probe.runs, 1) << due;
  }
}

TEST_F(TimerTest, CancelTellsWhetherItTookTheTimerOutBeforeExpiry) {
  TimerProbe probe;
  Init(probe);
  EXPECT_FALSE(KeCancelTimer(&probe.timer));
  Set(probe, -Milliseconds(50));
  EXPECT_TRUE(KeCancelTimer(&probe.timer));
  kernel_.AdvanceBy(Milliseconds(100));
  EXPECT_EQ(probe.runs, 0);
  Set(probe, -Milliseconds(50));
  kernel_.AdvanceBy(Milliseconds(100));
  EXPECT_EQ(probe.runs, 1);
  EXPECT_FALSE(KeCancelTimer(&probe.timer));
}

// Two timers expire together; the first DPC to run tries to stop the second. The
// timer has fired, so the cancel comes too late and the second DPC still runs, unless
// the DPC itself is taken out of the queue.
TEST_F(TimerTest, ACancelAfterExpiryLeavesTheDpcToRunUnlessItIsRemovedFromTheQueue) {
  for (bool removeDpc : {false, true}) {
    TimerProbe first;
    TimerProbe second;
    Init(first);
    Init(second);
    first.other = &second;
    first.removeOthersDpc = removeDpc;
    Set(first, -Milliseconds(20));
    Set(second, -Milliseconds(20));
    kernel_.AdvanceBy(Milliseconds(20));
    EXPECT_EQ(first.runs, 1);
    EXPECT_EQ(first.otherResult, removeDpc ? TRUE : FALSE);
    EXPECT_EQ(second.runs, removeDpc ? 0 : 1);
  }
}

TEST_F(TimerTest, SettingASetTimerAgainMovesItsExpiry) {
  TimerProbe probe;
  Init(probe);
  int64_t start = kernel_.Now();
  Set(probe, -Milliseconds(10));
  EXPECT_TRUE(Set(probe, -Milliseconds(30)));
  kernel_.AdvanceTo(start + Milliseconds(29));
  EXPECT_EQ(probe.runs, 0);
  kernel_.AdvanceTo(start + Milliseconds(30));
  EXPECT_EQ(probe.runs, 1);
}

TEST_F(TimerTest, ADpcIsQueuedOnceAndRunsOnce) {
  TimerProbe probe;
  Init(probe);
  EXPECT_TRUE(KeInsertQueueDpc(&probe.dpc, nullptr, nullptr));
  EXPECT_FALSE(KeInsertQueueDpc(&probe.dpc, nullptr, nullptr));
  KeFlushQueuedDpcs();
  EXPECT_EQ(probe.runs, 1);
  EXPECT_FALSE(KeRemoveQueueDpc(&probe.dpc));
}

struct WaitRow {
  EVENT_TYPE type;
  std::optional<int64_t> setAfter;
  std::optional<int64_t> timeout;
  NTSTATUS expected;
  int64_t elapsed;
};

class WaitTest : public ::testing::TestWithParam<WaitRow> {};

// The waiting thread moves virtual time on to whatever comes first: the DPC that
// sets the event, or its own time-out.
TEST_P(WaitTest, AWaitEndsWhenTheEventIsSetOrItsTimeOutPassesInVirtualTime) {
  const WaitRow& row = GetParam();
  kmodel::Kernel kernel;
  static KEVENT event;
  KeInitializeEvent(&event, row.type, FALSE);
  if (row.setAfter) {
    kernel.ScheduleAfter(*row.setAfter, [] { KeSetEvent(&event, IO_NO_INCREMENT, FALSE); });
  }
  LARGE_INTEGER timeout;
  if (row.timeout) timeout.QuadPart = -*row.timeout;
  int64_t start = kernel.Now();
  EXPECT_EQ(
      KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, row.timeout ? &timeout : nullptr),
      row.expected);
  EXPECT_EQ(kernel.Now() - start, row.elapsed);
  bool stillSignalled = row.expected == STATUS_SUCCESS && row.type == NotificationEvent;
  EXPECT_EQ(KeReadStateEvent(&event) != 0, stillSignalled);
  kernel.RunUntilIdle();
  kernel.AdvanceBy(Milliseconds(1000));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaitTest,
    ::testing::Values(WaitRow{NotificationEvent, std::nullopt, Milliseconds(250), STATUS_TIMEOUT,
                              Milliseconds(250)},
                      WaitRow{NotificationEvent, Milliseconds(100), Milliseconds(250),
                              STATUS_SUCCESS, Milliseconds(100)},
                      WaitRow{NotificationEvent, Milliseconds(300), Milliseconds(250),
                              STATUS_TIMEOUT, Milliseconds(250)},
                      WaitRow{NotificationEvent, Milliseconds(100), std::nullopt, STATUS_SUCCESS,
                              Milliseconds(100)},
                      WaitRow{NotificationEvent, Milliseconds(100), 0, STATUS_TIMEOUT, 0},
                      WaitRow{SynchronizationEvent, Milliseconds(100), std::nullopt, STATUS_SUCCESS,
                              Milliseconds(100)}));

TEST(WaitDeadlockTest, AWaitThatNothingCanSatisfyIsReported) {
  kmodel::Kernel kernel;
  kmodel::ViolationRecorder recorder(kernel);
  KEVENT event;
  KeInitializeEvent(&event, NotificationEvent, FALSE);
  EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_TIMEOUT);
  EXPECT_TRUE(recorder.Saw(kmodel::Rule::Deadlock));
}

}  // namespace
