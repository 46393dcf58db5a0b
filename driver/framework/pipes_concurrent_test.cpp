// Aborts that meet on real processors: a close, a power-down, a write cancellation
// and a write time-out can all abort at once, and only one abort may be issued.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "driver/framework/pipes.h"
#include "driver/framework/usb_bench.h"
#include "kernel/testing/kernel_model.h"
#include "kernel/usb/testing/usb_device.h"

namespace {

constexpr UCHAR kIn = kmodel::usb::kPanelBulkIn;

TEST(PipesConcurrentTest, AbortsRacingOnSeveralProcessorsIssueOneUrbPerBusyPeriod) {
  kmodel::KernelOptions options;
  options.processors = kmodel::ProcessorMode::Threaded;
  UsbBench bench(options);
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    bench.StartRead();
    size_t before = bench.Device().Log().Count(URB_FUNCTION_ABORT_PIPE);
    std::atomic<int> ready{0};
    NTSTATUS first = STATUS_PENDING, second = STATUS_PENDING, fromDpc = STATUS_PENDING;
    auto together = [&ready] {
      ++ready;
      while (ready < 2) std::this_thread::yield();
    };
    std::thread a([&] {
      together();
      first = AbortPipe(bench.Fdo(), kIn);
    });
    std::thread b([&] {
      together();
      bench.Kernel().QueueAtDispatch([&] { fromDpc = AbortPipeAsync(bench.Fdo(), kIn); });
      second = AbortPipe(bench.Fdo(), kIn);
    });
    a.join();
    b.join();
    bench.Kernel().RunUntilIdle();
    EXPECT_EQ(bench.Device().Log().Count(URB_FUNCTION_ABORT_PIPE), before + 1) << "round " << round;
    EXPECT_EQ(first, STATUS_SUCCESS);
    EXPECT_EQ(second, STATUS_SUCCESS);
    // The asynchronous abort returns the bus's STATUS_PENDING when it was the one.
    EXPECT_TRUE(fromDpc == STATUS_SUCCESS || fromDpc == STATUS_PENDING);
    EXPECT_EQ(bench.ReadStatus(), STATUS_CANCELLED);
    EXPECT_FALSE(bench.Extension()->AbortInProgress);
    EXPECT_EQ(ReadULongNoFence(&bench.BulkIn()->PipeFlags), 0u);
  }
}

}  // namespace
