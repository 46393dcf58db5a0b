// The cancel spin lock and IoCancelIrp.
#include <algorithm>
#include <string>

#include "kernel/irp.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"
#include "kernel/spin_lock.h"

using kmodel::ReportViolation;
using kmodel::Rule;
using kmodel::State;

namespace {

// A cancel routine is entered holding the cancel spin lock and must leave having
// released it at the IRP's CancelIrql.
void CheckCancelRoutineReturn(const kmodel::Frame& frame, KIRQL cancelIrql) {
  kmodel::ThreadState& thread = kmodel::Thread();
  PKSPIN_LOCK cancelLock = &State().cancelLock;
  auto held = std::find(thread.held.begin(), thread.held.end(), cancelLock);
  if (held != thread.held.end()) {
    ReportViolation(Rule::UnbalancedReturn, frame.irp,
                    "returned still holding the cancel spin lock");
    thread.held.erase(held);
    __atomic_store_n(cancelLock, 0, __ATOMIC_RELEASE);
    thread.irql = cancelIrql;
  } else if (thread.irql != cancelIrql) {
    ReportViolation(Rule::UnbalancedReturn, frame.irp,
                    "returned at IRQL " + std::to_string(thread.irql) + " instead of CancelIrql " +
                        std::to_string(cancelIrql));
    thread.irql = cancelIrql;
  }
}

}  // namespace

void IoAcquireCancelSpinLock(PKIRQL irql) {
  KeAcquireSpinLock(&State().cancelLock, irql);
}

void IoReleaseCancelSpinLock(KIRQL irql) {
  KeReleaseSpinLock(&State().cancelLock, irql);
}

BOOLEAN IoCancelIrp(PIRP irp) {
  bool live;
  {
    kmodel::IrpTable& table = State().irps;
    std::lock_guard guard(table.Mutex());
    live = table.FindLocked(irp) != nullptr;
  }
  if (!live) {
    ReportViolation(Rule::IrpNotAllocated, nullptr, "IoCancelIrp on an IRP that is not allocated");
    return FALSE;
  }
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  // Completion reads the flag without the cancel spin lock.
  __atomic_store_n(&irp->Cancel, TRUE, __ATOMIC_SEQ_CST);
  PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
  if (!routine) {
    IoReleaseCancelSpinLock(irql);
    return FALSE;
  }
  irp->CancelIrql = irql;
  // An IRP not yet sent has no current location (it would lie past the stack), so
  // its cancel routine gets no device.
  PDEVICE_OBJECT device = irp->CurrentLocation <= irp->StackCount
                              ? IoGetCurrentIrpStackLocation(irp)->DeviceObject
                              : nullptr;
  kmodel::Frame frame{kmodel::FrameKind::Cancel};
  frame.routine = kmodel::RoutineAddress(routine);
  frame.irp = irp;
  frame.device = kmodel::DescribeDevice(device);
  {
    kmodel::FrameScope scope(frame);
    routine(device, irp);
    CheckCancelRoutineReturn(frame, irql);
  }
  return TRUE;
}
