// The model under real concurrency: DPCs and completions on model processors racing
// the test's threads. Run under ThreadSanitizer by the concurrent test pass.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "kernel/kernel.h"
#include "kernel/testing/handler_stack.h"
#include "kernel/testing/io_request.h"
#include "kernel/testing/kernel_model.h"

namespace {

kmodel::KernelOptions Threaded() {
  kmodel::KernelOptions options;
  options.processors = kmodel::ProcessorMode::Threaded;
  options.processorCount = 2;
  return options;
}

struct Counter {
  KSPIN_LOCK lock = 0;
  long value = 0;
  std::atomic<int> wrongIrql{0};
};

constexpr int kDpcs = 32;
constexpr int kRounds = 200;

void CountingDpc(PKDPC, PVOID context, PVOID, PVOID) {
  auto* counter = static_cast<Counter*>(context);
  if (KeGetCurrentIrql() != DISPATCH_LEVEL) ++counter->wrongIrql;
  for (int i = 0; i < kRounds; ++i) {
    KeAcquireSpinLockAtDpcLevel(&counter->lock);
    ++counter->value;
    KeReleaseSpinLockFromDpcLevel(&counter->lock);
  }
}

TEST(ConcurrentTest, DpcsOnTheProcessorsAndTheTestThreadShareASpinLock) {
  kmodel::Kernel kernel(Threaded());
  Counter counter;
  KeInitializeSpinLock(&counter.lock);
  std::vector<KDPC> dpcs(kDpcs);
  for (KDPC& dpc : dpcs) {
    KeInitializeDpc(&dpc, CountingDpc, &counter);
    KeInsertQueueDpc(&dpc, nullptr, nullptr);
  }
  for (int i = 0; i < kDpcs * kRounds; ++i) {
    KIRQL irql;
    KeAcquireSpinLock(&counter.lock, &irql);
    ++counter.value;
    KeReleaseSpinLock(&counter.lock, irql);
  }
  KeFlushQueuedDpcs();
  EXPECT_EQ(counter.value, 2L * kDpcs * kRounds);
  EXPECT_EQ(counter.wrongIrql, 0);
}

struct CompletionSeen {
  std::atomic<int> calls{0};
  std::atomic<int> atDispatch{0};
};

NTSTATUS NoteCompletion(PDEVICE_OBJECT, PIRP irp, PVOID context) {
  auto* seen = static_cast<CompletionSeen*>(context);
  ++seen->calls;
  if (KeGetCurrentIrql() == DISPATCH_LEVEL) ++seen->atDispatch;
  if (irp->PendingReturned) IoMarkIrpPending(irp);
  return STATUS_CONTINUE_COMPLETION;
}

TEST(ConcurrentTest, ABusDeviceCompletesFromTheProcessorsWhileTwoThreadsSend) {
  kmodel::Kernel kernel(Threaded());
  kmodel::HandlerStack stack(2);
  CompletionSeen seen;
  stack.SetHandler(0, [&kernel](PDEVICE_OBJECT, PIRP irp) {
    IoMarkIrpPending(irp);
    kernel.QueueAtDispatch([irp] {
      irp->IoStatus.Status = STATUS_SUCCESS;
      irp->IoStatus.Information = 1;
      IoCompleteRequest(irp, IO_NO_INCREMENT);
    });
    return STATUS_PENDING;
  });
  stack.SetHandler(1, [&](PDEVICE_OBJECT, PIRP irp) {
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, NoteCompletion, &seen, TRUE, TRUE, TRUE);
    return IoCallDriver(stack.Device(0), irp);
  });
  constexpr int kPerThread = 100;
  std::atomic<int> completed{0};
  auto sender = [&] {
    for (int i = 0; i < kPerThread; ++i) {
      kmodel::IoRequest request(stack.Top(), IRP_MJ_WRITE);
      request.Send();
      if (request.Wait() && request.Status() == STATUS_SUCCESS) ++completed;
    }
  };
  std::thread other(sender);
  sender();
  other.join();
  EXPECT_EQ(completed, 2 * kPerThread);
  EXPECT_EQ(seen.calls, 2 * kPerThread);
  EXPECT_EQ(seen.atDispatch, 2 * kPerThread);
}

std::atomic<int> cancelRoutineRuns{0};

void CountingCancel(PDEVICE_OBJECT, PIRP irp) {
  ++cancelRoutineRuns;
  IoReleaseCancelSpinLock(irp->CancelIrql);
}

// The driver takes its cancel routine back while the I/O manager cancels: exactly
// one of them gets the routine.
TEST(ConcurrentTest, TheCancelRoutineExchangeRacingIoCancelIrpHasOneWinner) {
  kmodel::Kernel kernel;
  constexpr int kIterations = 500;
  int driverWins = 0;
  cancelRoutineRuns = 0;
  for (int i = 0; i < kIterations; ++i) {
    PIRP irp = IoAllocateIrp(1, FALSE);
    IoSetNextIrpStackLocation(irp);
    IoSetCancelRoutine(irp, CountingCancel);
    std::atomic<bool> go{false};
    std::thread canceller([&] {
      while (!go) {
      }
      IoCancelIrp(irp);
    });
    go = true;
    if (IoSetCancelRoutine(irp, nullptr) != nullptr) ++driverWins;
    canceller.join();
    EXPECT_TRUE(irp->Cancel);
    IoFreeIrp(irp);
  }
  EXPECT_EQ(driverWins + cancelRoutineRuns, kIterations);
}

struct RaceTimer {
  KTIMER timer;
  KDPC dpc;
  std::atomic<int> runs{0};
};

void RaceDpc(PKDPC, PVOID context, PVOID, PVOID) {
  ++static_cast<RaceTimer*>(context)->runs;
}

// A cancel racing the expiry either takes the timer out (and the DPC never runs) or
// comes too late (and the DPC runs once).
TEST(ConcurrentTest, ACancelRacingTheExpiryEitherWinsOrLeavesTheDpcToRunOnce) {
  kmodel::Kernel kernel(Threaded());
  constexpr int kIterations = 200;
  int cancelledInTime = 0;
  for (int i = 0; i < kIterations; ++i) {
    auto probe = std::make_unique<RaceTimer>();
    KeInitializeTimer(&probe->timer);
    KeInitializeDpc(&probe->dpc, RaceDpc, probe.get());
    LARGE_INTEGER due;
    due.QuadPart = -kmodel::Milliseconds(1);
    KeSetTimer(&probe->timer, due, &probe->dpc);
    std::thread clock([&kernel] { kernel.AdvanceBy(kmodel::Milliseconds(1)); });
    BOOLEAN cancelled = KeCancelTimer(&probe->timer);
    clock.join();
    kernel.RunUntilIdle();
    EXPECT_EQ(probe->runs, cancelled ? 0 : 1);
    cancelledInTime += cancelled;
  }
  RecordProperty("cancelledInTime", cancelledInTime);
}

TEST(ConcurrentTest, ANotificationEventSetByADpcReleasesEveryWaiter) {
  kmodel::Kernel kernel(Threaded());
  static KEVENT event;
  KeInitializeEvent(&event, NotificationEvent, FALSE);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr) == STATUS_SUCCESS) {
        ++released;
      }
    });
  }
  kernel.ScheduleAfter(kmodel::Milliseconds(10),
                       [] { KeSetEvent(&event, IO_NO_INCREMENT, FALSE); });
  for (std::thread& waiter : waiters) waiter.join();
  EXPECT_EQ(released, 3);
}

}  // namespace
