// Sending URBs down: synchronously, synchronously within UrbTimeoutMs, and
// asynchronously with the URB freed on completion.
#include "driver/framework/usb_requests.h"

#include <gtest/gtest.h>

#include <vector>

#include "driver/framework/driver_globals.h"
#include "driver/framework/usb_bench.h"
#include "kernel/testing/kernel_model.h"
#include "kernel/usb/testing/urb_submission.h"
#include "kernel/usb/testing/usb_device.h"

namespace {

using kmodel::Milliseconds;
using kmodel::usb::Completion;
using kmodel::usb::UrbMatch;

// A pool URB as the driver's own operations allocate it.
PURB PoolUrb(const URB& contents) {
  auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, sizeof(URB), DRIVER_POOL_TAG));
  *urb = contents;
  return urb;
}

URB ResetOf(PUSBD_PIPE_INFORMATION pipe) {
  return kmodel::usb::PipeRequestUrb(URB_FUNCTION_RESET_PIPE, pipe->PipeHandle);
}

TEST(UsbRequestsTest, WithoutALowerDeviceObjectNoSubmitSendsAnything) {
  UsbBench bench;
  bench.Extension()->LowerDeviceObject = nullptr;
  URB urb = ResetOf(bench.BulkIn());
  EXPECT_EQ(SubmitUrbSync(bench.Fdo(), &urb), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(SubmitUrbSyncTimed(bench.Fdo(), &urb), STATUS_INVALID_PARAMETER);
  // The asynchronous form frees the URB it was given (the kernel's checks would
  // report a leak otherwise).
  EXPECT_EQ(SubmitUrbAsync(bench.Fdo(), PoolUrb(urb)), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(bench.Device().Log().Size(), 0u);
}

TEST(UsbRequestsTest, SyncSubmitsReturnTheRequestStatusWhetherTheBusPendsOrNot) {
  struct Row {
    Completion completion;
    bool stalled;
    NTSTATUS status;
    USBD_STATUS usbdStatus;
  };
  const Row rows[] = {
      {Completion::Deferred, false, STATUS_SUCCESS, USBD_STATUS_SUCCESS},
      {Completion::Immediate, false, STATUS_SUCCESS, USBD_STATUS_SUCCESS},
      {Completion::Deferred, true, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID},
      {Completion::Immediate, true, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID},
  };
  for (const Row& row : rows) {
    for (auto submit : {SubmitUrbSync, SubmitUrbSyncTimed}) {
      UsbBench bench;
      bench.Device().SetCompletion(row.completion);
      std::vector<uint8_t> buffer(18);
      URB urb = kmodel::usb::DescriptorUrb(
          row.stalled ? USB_STRING_DESCRIPTOR_TYPE : USB_DEVICE_DESCRIPTOR_TYPE, buffer.data(), 18);
      EXPECT_EQ(submit(bench.Fdo(), &urb), row.status);
      // The URB's own status is the caller's to read.
      EXPECT_EQ(urb.UrbHeader.Status, row.usbdStatus);
      EXPECT_EQ(bench.Device().Log().Size(), 1u);
    }
  }
}

TEST(UsbRequestsTest, ATimedSubmitThatIsAnsweredInTimeIsNotCancelled) {
  UsbBench bench;
  UrbTimeoutMs = 250;
  std::vector<uint8_t> buffer(64);
  URB read = kmodel::usb::BulkTransferUrb(bench.BulkIn()->PipeHandle,
                                          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
                                          buffer.data(), 64);
  kmodel::usb::UsbDevice& device = bench.Device();
  bench.Kernel().ScheduleAfter(Milliseconds(249), [&device] { device.DeliverIn({{1, 2, 3}}); });
  int64_t start = bench.Kernel().Now();
  EXPECT_EQ(SubmitUrbSyncTimed(bench.Fdo(), &read), STATUS_SUCCESS);
  EXPECT_EQ(bench.Kernel().Now() - start, Milliseconds(249));
  EXPECT_EQ(read.UrbBulkOrInterruptTransfer.TransferBufferLength, 3u);
}

TEST(UsbRequestsTest, ATimedSubmitThatIsNeverAnsweredIsCancelledAfterUrbTimeoutMs) {
  for (ULONG timeoutMs : {250u, 5000u}) {
    UsbBench bench;
    UrbTimeoutMs = timeoutMs;
    bench.Device().Hold({URB_FUNCTION_RESET_PIPE, {}});
    URB urb = ResetOf(bench.BulkIn());
    int64_t start = bench.Kernel().Now();
    EXPECT_EQ(SubmitUrbSyncTimed(bench.Fdo(), &urb), STATUS_CANCELLED);
    EXPECT_EQ(bench.Kernel().Now() - start, Milliseconds(timeoutMs));
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_CANCELED);
  }
}

TEST(UsbRequestsTest, AnAsyncSubmitReturnsAtOnceAndFreesUrbAndRequestOnCompletion) {
  UsbBench bench;
  URB urb = ResetOf(bench.BulkIn());
  NTSTATUS status;
  {
    // It may be sent from a DPC or a cancel routine.
    kmodel::ScopedIrql dispatch(DISPATCH_LEVEL);
    status = SubmitUrbAsync(bench.Fdo(), PoolUrb(urb));
  }
  EXPECT_EQ(status, STATUS_PENDING);
  EXPECT_EQ(bench.Kernel().PoolBlocks().size(), 1u);
  bench.Kernel().RunUntilIdle();
  EXPECT_TRUE(bench.Kernel().PoolBlocks().empty());
  EXPECT_EQ(bench.Device().Log().Compare({{"RESET_PIPE 0x81", "STATUS_SUCCESS"}}), "");
}

TEST(UsbRequestsTest, ARequestThatCannotBeAllocatedSendsNothing) {
  using Submit = NTSTATUS (*)(PDEVICE_OBJECT, PURB);
  const Submit submits[] = {SubmitUrbSync, SubmitUrbSyncTimed, SubmitUrbAsync};
  for (Submit submit : submits) {
    uint64_t allocations = UsbBench::WalkAllocationFailures([&](UsbBench& bench, uint64_t failing) {
      URB contents = ResetOf(bench.BulkIn());
      bool async = submit == SubmitUrbAsync;
      PURB urb = async ? PoolUrb(contents) : &contents;
      bench.ArmFailure();
      NTSTATUS status = submit(bench.Fdo(), urb);
      bench.Kernel().RunUntilIdle();
      EXPECT_EQ(status, failing ? STATUS_INSUFFICIENT_RESOURCES
                                : (async ? STATUS_PENDING : STATUS_SUCCESS));
      EXPECT_EQ(bench.Device().Log().Size(), failing ? 0u : 1u);
    });
    EXPECT_EQ(allocations, 1u);
  }
}

}  // namespace
