// IoCancelIrp and the cancel spin lock.
#include <gtest/gtest.h>

#include "kernel/kernel.h"
#include "kernel/testing/handler_stack.h"
#include "kernel/testing/io_request.h"
#include "kernel/testing/kernel_model.h"

namespace {

struct CancelSeen {
  int runs = 0;
  BOOLEAN cancelFlag = FALSE;
  KIRQL irql = PASSIVE_LEVEL;
  KIRQL cancelIrql = HIGH_LEVEL;
};
CancelSeen seen;

void CompletingCancelRoutine(PDEVICE_OBJECT, PIRP irp) {
  ++seen.runs;
  seen.cancelFlag = irp->Cancel;
  seen.irql = KeGetCurrentIrql();
  seen.cancelIrql = irp->CancelIrql;
  IoReleaseCancelSpinLock(irp->CancelIrql);
  irp->IoStatus.Status = STATUS_CANCELLED;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_SERIAL_INCREMENT);
}

TEST(CancelTest, IoCancelIrpRunsTheCancelRoutineHoldingTheCancelSpinLock) {
  kmodel::Kernel kernel;
  kmodel::HandlerStack stack(1);
  seen = {};
  stack.SetHandler(0, [](PDEVICE_OBJECT, PIRP irp) {
    IoMarkIrpPending(irp);
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    IoSetCancelRoutine(irp, CompletingCancelRoutine);
    IoReleaseCancelSpinLock(irql);
    return STATUS_PENDING;
  });
  kmodel::IoRequest request(stack.Top(), IRP_MJ_READ);
  ASSERT_EQ(request.Send(), STATUS_PENDING);
  EXPECT_TRUE(request.Cancel());
  EXPECT_EQ(seen.runs, 1);
  EXPECT_TRUE(seen.cancelFlag);
  EXPECT_EQ(seen.irql, DISPATCH_LEVEL);
  EXPECT_EQ(seen.cancelIrql, PASSIVE_LEVEL);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
  EXPECT_EQ(request.Status(), STATUS_CANCELLED);
  EXPECT_EQ(request.Boost(), IO_SERIAL_INCREMENT);
}

TEST(CancelTest, WithoutACancelRoutineIoCancelIrpOnlySetsTheFlag) {
  kmodel::Kernel kernel;
  kmodel::HandlerStack stack(1);
  PIRP held = nullptr;
  stack.SetHandler(0, [&held](PDEVICE_OBJECT, PIRP irp) {
    IoMarkIrpPending(irp);
    held = irp;
    return STATUS_PENDING;
  });
  kmodel::IoRequest request(stack.Top(), IRP_MJ_READ);
  request.Send();
  EXPECT_FALSE(request.Cancel());
  EXPECT_TRUE(held->Cancel);
  held->IoStatus.Status = STATUS_CANCELLED;
  IoCompleteRequest(held, IO_NO_INCREMENT);
  EXPECT_EQ(request.Status(), STATUS_CANCELLED);
}

}  // namespace

TEST(CancelTest, ARequestNotYetSentIsCancelledWithNoDevice) {
  kmodel::Kernel kernel;
  seen = {};
  PIRP irp = IoAllocateIrp(2, FALSE);
  IoSetCancelRoutine(irp, [](PDEVICE_OBJECT device, PIRP cancelled) {
    ++seen.runs;
    EXPECT_EQ(device, nullptr);
    IoReleaseCancelSpinLock(cancelled->CancelIrql);
  });
  EXPECT_TRUE(IoCancelIrp(irp));
  EXPECT_EQ(seen.runs, 1);
  IoFreeIrp(irp);
}
