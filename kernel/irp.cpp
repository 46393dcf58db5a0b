// Allocating and freeing IRPs.
#include "kernel/irp.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "kernel/device_object.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

using kmodel::IrpOrigin;
using kmodel::IrpRecord;
using kmodel::ReportViolation;
using kmodel::Rule;
using kmodel::State;

namespace {

std::string Address(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

}  // namespace

PIRP IoAllocateIrp(CCHAR stackSize, BOOLEAN chargeQuota) {
  UNREFERENCED_PARAMETER(chargeQuota);
  kmodel::KernelState& state = State();
  if (state.faults.ShouldFail(kmodel::AllocationKind::Irp)) return nullptr;
  return &state.irps.Create(stackSize, IrpOrigin::Driver)->irp;
}

void IoFreeIrp(PIRP irp) {
  kmodel::IrpTable& table = State().irps;
  std::unique_lock lock(table.Mutex());
  IrpRecord* record = table.FindLocked(irp);
  if (record && record->walking && record->walker == std::this_thread::get_id()) {
    // Freed by its own completion routine: judged when the routine returns.
    record->freedDuringWalk = true;
    return;
  }
  if (record) {
    table.WaitWalkDoneLocked(lock, record);
    record = table.FindLocked(irp);
  }
  if (!record) {
    lock.unlock();
    ReportViolation(Rule::IrpNotAllocated, nullptr, "IoFreeIrp on " + Address(irp));
    return;
  }
  std::string problem;
  if (record->origin != IrpOrigin::Driver) {
    problem = "the I/O manager owns it";
  } else if (record->inFlight) {
    problem = "a lower driver still holds it";
  } else if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_SEQ_CST)) {
    problem = "it still has a cancel routine";
  }
  if (problem.empty()) {
    table.DestroyLocked(record);
    return;
  }
  // The IRP is kept (and freed with the kernel), so a test that goes on is safe.
  lock.unlock();
  ReportViolation(Rule::IrpFreedInUse, irp, "IoFreeIrp while " + problem);
}

PIRP IoBuildDeviceIoControlRequest(ULONG ioControlCode, PDEVICE_OBJECT deviceObject,
                                   PVOID inputBuffer, ULONG inputBufferLength, PVOID outputBuffer,
                                   ULONG outputBufferLength, BOOLEAN internalDeviceIoControl,
                                   PKEVENT event, PIO_STATUS_BLOCK ioStatusBlock) {
  kmodel::KernelState& state = State();
  kmodel::CheckIrqlAtMost(APC_LEVEL, "IoBuildDeviceIoControlRequest");
  if (state.faults.ShouldFail(kmodel::AllocationKind::Irp)) return nullptr;
  IrpRecord* record = state.irps.Create(deviceObject->StackSize, IrpOrigin::Threaded);
  PIRP irp = &record->irp;
  irp->UserEvent = event;
  irp->UserIosb = ioStatusBlock;
  irp->RequestorMode = KernelMode;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction =
      internalDeviceIoControl ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = ioControlCode;
  next->Parameters.DeviceIoControl.InputBufferLength = inputBufferLength;
  next->Parameters.DeviceIoControl.OutputBufferLength = outputBufferLength;
  switch (ioControlCode & 3) {
    case METHOD_BUFFERED:
      record->systemBuffer.resize(std::max(inputBufferLength, outputBufferLength));
      if (inputBuffer && inputBufferLength) {
        RtlCopyMemory(record->systemBuffer.data(), inputBuffer, inputBufferLength);
      }
      irp->AssociatedIrp.SystemBuffer =
          record->systemBuffer.empty() ? nullptr : record->systemBuffer.data();
      record->userOutput = outputBuffer;
      record->userOutputLength = outputBufferLength;
      break;
    case METHOD_NEITHER:
      next->Parameters.DeviceIoControl.Type3InputBuffer = inputBuffer;
      irp->UserBuffer = outputBuffer;
      break;
    default:
      irp->AssociatedIrp.SystemBuffer = inputBuffer;
      irp->UserBuffer = outputBuffer;
      break;
  }
  return irp;
}
