// Finding pipes, resetting, aborting and halting them against the simulated panel.
#include "driver/framework/pipes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/framework/driver_globals.h"
#include "driver/framework/usb_bench.h"
#include "kernel/testing/kernel_model.h"
#include "kernel/usb/testing/usb_device.h"

namespace {

using kmodel::Milliseconds;
using kmodel::usb::ExpectedUrb;

constexpr UCHAR kIn = kmodel::usb::kPanelBulkIn;
constexpr UCHAR kOut = kmodel::usb::kPanelBulkOut;
const char* const kRead = "BULK_OR_INTERRUPT_TRANSFER 0x81 in length 2048 flags 0x03";
const char* const kAbortIn = "ABORT_PIPE 0x81";
const char* const kHaltIn = "SET_FEATURE_TO_ENDPOINT feature 0 index 0x81";

ULONG BusyMark(PUSBD_PIPE_INFORMATION pipe) {
  return ReadULongNoFence(&pipe->PipeFlags);
}

TEST(FindPipeTest, ReturnsTheFirstRecordedPipeWithTheAddressOrNull) {
  USBD_PIPE_INFORMATION pipes[3] = {};
  pipes[0].EndpointAddress = kIn;
  pipes[1].EndpointAddress = kOut;
  pipes[2].EndpointAddress = kIn;
  DEVICE_EXTENSION extension{};
  // Gaps in the table are skipped; a later duplicate is never reached.
  extension.PipeTable[3] = &pipes[0];
  extension.PipeTable[7] = &pipes[1];
  extension.PipeTable[15] = &pipes[2];
  const std::pair<ULONG, PUSBD_PIPE_INFORMATION> rows[] = {{kIn, &pipes[0]}, {kOut, &pipes[1]},
                                                           {0, nullptr},     {0x83, nullptr},
                                                           {0x01, nullptr},  {0x181, nullptr}};
  for (auto [address, expected] : rows) {
    EXPECT_EQ(FindPipe(&extension, address), expected) << "address " << address;
  }
}

TEST(ResetPipeTest, ResetsThePipeAndClearsAHaltOfItsEndpoint) {
  UsbBench bench;
  bench.Device().Stall(kIn);
  EXPECT_EQ(ResetPipe(bench.Extension(), bench.BulkIn()), STATUS_SUCCESS);
  EXPECT_FALSE(bench.Device().Halted(kIn));
  EXPECT_EQ(bench.Device().Log().Compare({{"RESET_PIPE 0x81", "STATUS_SUCCESS"}}), "");
  // No pipe recorded (an unconfigured device): refused, nothing sent.
  EXPECT_EQ(ResetPipe(bench.Extension(), FindPipe(bench.Extension(), 0)), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(bench.Device().Log().Size(), 1u);
}

class AbortTest : public ::testing::TestWithParam<bool> {
 protected:
  NTSTATUS Abort(ULONG address) {
    return GetParam() ? AbortPipeAsync(bench_.Fdo(), address) : AbortPipe(bench_.Fdo(), address);
  }
  UsbBench bench_;
};

TEST_P(AbortTest, AnIdlePipeSendsNothingAndSucceeds) {
  EXPECT_EQ(Abort(kIn), STATUS_SUCCESS);
  EXPECT_EQ(bench_.Device().Log().Size(), 0u);
  EXPECT_FALSE(bench_.Extension()->AbortInProgress);
}

TEST_P(AbortTest, ABusyPipesTransfersAreAbortedAndItsMarkCleared) {
  bench_.StartRead();
  NTSTATUS status = Abort(kIn);
  // The asynchronous form clears the mark right after sending.
  EXPECT_EQ(BusyMark(bench_.BulkIn()), 0u);
  EXPECT_EQ(status, GetParam() ? STATUS_PENDING : STATUS_SUCCESS);
  bench_.Kernel().RunUntilIdle();
  EXPECT_EQ(bench_.ReadStatus(), STATUS_CANCELLED);
  EXPECT_EQ(bench_.Device().Log().Compare({{kRead, "STATUS_CANCELLED USBD_STATUS_CANCELED 0 bytes"},
                                           {kAbortIn, "STATUS_SUCCESS"}}),
            "");
  EXPECT_FALSE(bench_.Extension()->AbortInProgress);
  EXPECT_TRUE(bench_.Kernel().PoolBlocks().empty());
}

TEST_P(AbortTest, AnAddressWithoutAPipeIsRefusedAndReleasesTheAbort) {
  for (ULONG address : {0u, 0x83u}) {
    EXPECT_EQ(Abort(address), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_FALSE(bench_.Extension()->AbortInProgress);
  }
  EXPECT_EQ(bench_.Device().Log().Size(), 0u);
}

std::string FormName(const ::testing::TestParamInfo<bool>& form) {
  return form.param ? "Async" : "Sync";
}

INSTANTIATE_TEST_SUITE_P(SyncAndAsync, AbortTest, ::testing::Bool(), FormName);

TEST(AbortPipeTest, WhileAnAbortIsUnderWayAnotherReturnsSuccessAtOnceAndSendsNothing) {
  UsbBench bench;
  bench.StartRead();
  kmodel::usb::UsbDevice& device = bench.Device();
  device.Hold({URB_FUNCTION_ABORT_PIPE, {}});
  NTSTATUS second = STATUS_PENDING;
  bool secondSawProgress = false;
  kmodel::Kernel& kernel = bench.Kernel();
  PDEVICE_OBJECT fdo = bench.Fdo();
  PDEVICE_EXTENSION extension = bench.Extension();
  // The second caller comes from a DPC while the first waits for its abort.
  kernel.ScheduleAfter(Milliseconds(10), [&] {
    secondSawProgress = extension->AbortInProgress;
    second = AbortPipeAsync(fdo, kIn);
  });
  kernel.ScheduleAfter(Milliseconds(20), [&device] { device.Release(); });
  int64_t start = kernel.Now();
  EXPECT_EQ(AbortPipe(fdo, kIn), STATUS_SUCCESS);
  EXPECT_EQ(kernel.Now() - start, Milliseconds(20));
  EXPECT_TRUE(secondSawProgress);
  EXPECT_EQ(second, STATUS_SUCCESS);
  EXPECT_EQ(device.Log().Count(URB_FUNCTION_ABORT_PIPE), 1u);
  EXPECT_FALSE(extension->AbortInProgress);
}

TEST(AbortPipeTest, AnAbortTheBusNeverCompletesIsCancelledAfterUrbTimeoutMs) {
  UsbBench bench;
  UrbTimeoutMs = 250;
  bench.StartRead();
  bench.Device().Hold({URB_FUNCTION_ABORT_PIPE, {}});
  int64_t start = bench.Kernel().Now();
  EXPECT_EQ(AbortPipe(bench.Fdo(), kIn), STATUS_CANCELLED);
  EXPECT_EQ(bench.Kernel().Now() - start, Milliseconds(250));
  EXPECT_EQ(BusyMark(bench.BulkIn()), 0u);
  EXPECT_FALSE(bench.Extension()->AbortInProgress);
  // The hung pipe's read is still there; the caller goes on.
  EXPECT_FALSE(bench.ReadCompleted());
  EXPECT_EQ(bench.Device().Log().Compare(
                {{kRead, "pending"}, {kAbortIn, "STATUS_CANCELLED USBD_STATUS_CANCELED"}}),
            "");
}

TEST(HaltBulkInTest, AbortsThenHaltsTheBulkInEndpointUntilItIsReset) {
  struct Row {
    const char* what;
    bool reading;
    bool abortHangs;
    std::vector<ExpectedUrb> conversation;
  };
  const Row rows[] = {
      {"a read in flight",
       true,
       false,
       {{kRead, "STATUS_CANCELLED USBD_STATUS_CANCELED 0 bytes"},
        {kAbortIn, "STATUS_SUCCESS"},
        {kHaltIn, "STATUS_SUCCESS"}}},
      {"an idle pipe", false, false, {{kHaltIn, "STATUS_SUCCESS"}}},
      // The halt stalls the read the hung abort left behind.
      {"an abort that never completes",
       true,
       true,
       {{kRead, "STATUS_UNSUCCESSFUL USBD_STATUS_STALL_PID 0 bytes"},
        {kAbortIn, "STATUS_CANCELLED USBD_STATUS_CANCELED"},
        {kHaltIn, "STATUS_SUCCESS"}}},
  };
  for (const Row& row : rows) {
    UsbBench bench;
    UrbTimeoutMs = 250;
    if (row.reading) bench.StartRead();
    if (row.abortHangs) bench.Device().Hold({URB_FUNCTION_ABORT_PIPE, {}});
    EXPECT_EQ(HaltBulkIn(bench.Fdo()), STATUS_SUCCESS) << row.what;
    bench.Kernel().RunUntilIdle();
    EXPECT_EQ(bench.Device().Log().Compare(row.conversation), "") << row.what;
    EXPECT_TRUE(bench.Device().Halted(kIn)) << row.what;
    EXPECT_EQ(ResetPipe(bench.Extension(), bench.BulkIn()), STATUS_SUCCESS);
    EXPECT_FALSE(bench.Device().Halted(kIn)) << row.what;
  }
}

TEST(HaltBulkInTest, WithoutABulkInPipeNothingIsSent) {
  UsbBench bench;
  bench.Extension()->PipeTable[0] = nullptr;
  EXPECT_EQ(HaltBulkIn(bench.Fdo()), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(bench.Device().Log().Size(), 0u);
}

// Each allocation of an operation fails in turn: the status, and what reached the
// bus, for the n-th one failing (row 0: none fails).
struct FailureRow {
  NTSTATUS status;
  std::vector<std::string> sent;
};

void ExpectFailurePaths(const char* what, bool reading,
                        const std::function<NTSTATUS(UsbBench&)>& operation,
                        const std::vector<FailureRow>& rows) {
  uint64_t allocations = UsbBench::WalkAllocationFailures([&](UsbBench& bench, uint64_t failing) {
    if (reading) bench.StartRead();
    bench.Device().Log().Clear();
    bench.ArmFailure();
    NTSTATUS status = operation(bench);
    bench.Kernel().RunUntilIdle();
    ASSERT_LT(failing, rows.size()) << what;
    EXPECT_EQ(status, rows[failing].status) << what << ", allocation " << failing << " failing";
    EXPECT_EQ(bench.Device().Log().Requests(), rows[failing].sent)
        << what << ", allocation " << failing << " failing";
    EXPECT_EQ(BusyMark(bench.BulkIn()), 0u) << what;
    EXPECT_FALSE(bench.Extension()->AbortInProgress) << what;
  });
  EXPECT_EQ(allocations + 1, rows.size()) << what;
}

TEST(PipeFailurePathsTest, EveryAllocationFailureEndsCleanly) {
  const NTSTATUS none = STATUS_INSUFFICIENT_RESOURCES;
  ExpectFailurePaths("ResetPipe", false,
                     [](UsbBench& bench) { return ResetPipe(bench.Extension(), bench.BulkIn()); },
                     {{STATUS_SUCCESS, {"RESET_PIPE 0x81"}}, {none, {}}, {none, {}}});
  ExpectFailurePaths("AbortPipe", true, [](UsbBench& bench) { return AbortPipe(bench.Fdo(), kIn); },
                     {{STATUS_SUCCESS, {kAbortIn}}, {none, {}}, {none, {}}});
  ExpectFailurePaths("AbortPipeAsync", true,
                     [](UsbBench& bench) { return AbortPipeAsync(bench.Fdo(), kIn); },
                     {{STATUS_PENDING, {kAbortIn}}, {none, {}}, {none, {}}});
  // The halt goes ahead when the abort could not be sent, and the abort's status
  // stands when the halt's URB cannot be had.
  ExpectFailurePaths("HaltBulkIn", true, [](UsbBench& bench) { return HaltBulkIn(bench.Fdo()); },
                     {{STATUS_SUCCESS, {kAbortIn, kHaltIn}},
                      {STATUS_SUCCESS, {kHaltIn}},
                      {STATUS_SUCCESS, {kHaltIn}},
                      {STATUS_SUCCESS, {kAbortIn}},
                      {none, {kAbortIn}}});
}

}  // namespace
