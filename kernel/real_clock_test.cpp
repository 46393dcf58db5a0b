// The real-time clock used by end-to-end runs: timers fire on a model thread at
// their moment in real time.
#include <gtest/gtest.h>

#include <chrono>

#include "kernel/kernel.h"
#include "kernel/testing/kernel_model.h"

namespace {

struct Fired {
  KEVENT event;
};

void SetEventDpc(PKDPC, PVOID context, PVOID, PVOID) {
  KeSetEvent(&static_cast<Fired*>(context)->event, IO_NO_INCREMENT, FALSE);
}

TEST(RealClockTest, ATimerFiresAfterItsDueTimeInRealTime) {
  kmodel::KernelOptions options;
  options.processors = kmodel::ProcessorMode::Threaded;
  options.clock = kmodel::ClockMode::Real;
  kmodel::Kernel kernel(options);
  Fired fired;
  KeInitializeEvent(&fired.event, NotificationEvent, FALSE);
  KTIMER timer;
  KDPC dpc;
  KeInitializeTimer(&timer);
  KeInitializeDpc(&dpc, SetEventDpc, &fired);
  auto start = std::chrono::steady_clock::now();
  LARGE_INTEGER due;
  due.QuadPart = -kmodel::Milliseconds(20);
  KeSetTimer(&timer, due, &dpc);
  LARGE_INTEGER limit;
  limit.QuadPart = -kmodel::Seconds(5);
  EXPECT_EQ(KeWaitForSingleObject(&fired.event, Executive, KernelMode, FALSE, &limit),
            STATUS_SUCCESS);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

}  // namespace
