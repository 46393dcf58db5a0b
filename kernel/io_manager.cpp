// The I/O manager's two central calls: passing an IRP to a driver and completing it.
// Around each, the verifier tracks who holds the IRP, what each dispatch routine
// returned, and how completion moves up the stack.
#include <optional>
#include <string>
#include <thread>

#include "kernel/device_object.h"
#include "kernel/event.h"
#include "kernel/irp.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

using kmodel::Frame;
using kmodel::FrameKind;
using kmodel::IrpOrigin;
using kmodel::IrpRecord;
using kmodel::ReportViolation;
using kmodel::Rule;
using kmodel::State;

namespace {

bool IsOwnWalk(const IrpRecord* record) {
  return record->walking && record->walker == std::this_thread::get_id();
}

// The record of an IRP about to be used, once no other thread is completing it.
IrpRecord* Settled(std::unique_lock<std::mutex>& lock, PIRP irp) {
  kmodel::IrpTable& table = State().irps;
  IrpRecord* record = table.FindLocked(irp);
  if (record && !IsOwnWalk(record)) {
    table.WaitWalkDoneLocked(lock, record);
    record = table.FindLocked(irp);
  }
  return record;
}

// After a dispatch routine returns: its pending mark must agree with its status.
void CheckDispatchResult(IrpRecord* record, const Frame& frame, NTSTATUS status) {
  kmodel::IrpTable& table = State().irps;
  std::optional<Rule> broken;
  std::string irpText = kmodel::DescribeIrp(&record->irp);
  {
    std::lock_guard guard(table.Mutex());
    kmodel::LocationState& location = record->locations[static_cast<size_t>(frame.location)];
    bool marked =
        location.popped
            ? location.markedAtPop
            : (__atomic_load_n(&record->Locations()[frame.location].Control, __ATOMIC_SEQ_CST) &
               SL_PENDING_RETURNED) != 0;
    if (status == STATUS_PENDING && !marked) {
      if (location.popped) {
        broken = Rule::IrpPendingNotMarked;
      } else {
        location.expectMark = true;
        location.expectedBy = kmodel::DescribeFrame(frame);
      }
    } else if (status != STATUS_PENDING && marked) {
      broken = Rule::IrpMarkedNotPending;
    }
    if (--record->frameRefs == 0 && record->freePending) {
      record->freePending = false;
      table.DestroyLocked(record);
    }
  }
  if (broken) {
    kmodel::ReportViolationAt(*broken, irpText, kmodel::DescribeFrame(frame),
                              "returned " + kmodel::FormatStatus(status));
  }
}

// The end of completion: the IRP is back with whoever created it.
void FinishAtTop(IrpRecord* record) {
  PIRP irp = &record->irp;
  kmodel::IrpTable& table = State().irps;
  switch (record->origin) {
    case IrpOrigin::Driver:
      ReportViolation(Rule::IrpDriverOwnedCompletedToTop, irp,
                      "no completion routine returned STATUS_MORE_PROCESSING_REQUIRED");
      break;
    case IrpOrigin::Threaded: {
      // A warning such as STATUS_BUFFER_OVERFLOW still carries the data that fitted.
      if (record->userOutput && !NT_ERROR(irp->IoStatus.Status)) {
        size_t count = irp->IoStatus.Information < record->userOutputLength
                           ? irp->IoStatus.Information
                           : record->userOutputLength;
        RtlCopyMemory(record->userOutput, record->systemBuffer.data(), count);
      }
      if (irp->UserIosb) *irp->UserIosb = irp->IoStatus;
      PKEVENT event = irp->UserEvent;
      {
        std::lock_guard guard(table.Mutex());
        table.DestroyLocked(record);
      }
      if (event) KeSetEvent(event, IO_NO_INCREMENT, FALSE);
      break;
    }
    case IrpOrigin::System:
      if (record->onFinished) record->onFinished(*record);
      break;
  }
}

// Runs the completion routines from the current location up.
void Walk(IrpRecord* record) {
  PIRP irp = &record->irp;
  kmodel::IrpTable& table = State().irps;
  for (;;) {
    std::unique_lock lock(table.Mutex());
    if (irp->CurrentLocation > irp->StackCount) {
      record->walking = false;
      record->inFlight = false;
      record->completed = true;
      bool freed = record->freedDuringWalk;
      lock.unlock();
      table.Changed().notify_all();
      if (freed && record->origin == IrpOrigin::Driver) {
        ReportViolation(Rule::IrpFreedInUse, irp,
                        "freed by a completion routine that let completion go on");
      }
      FinishAtTop(record);
      return;
    }
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    kmodel::LocationState& state =
        record->locations[static_cast<size_t>(kmodel::LocationIndex(irp, location))];
    bool marked = (location->Control & SL_PENDING_RETURNED) != 0;
    irp->PendingReturned = marked ? TRUE : FALSE;
    state.popped = true;
    state.markedAtPop = marked;
    std::optional<std::string> unmarkedBy;
    if (state.expectMark && !marked) unmarkedBy = state.expectedBy;
    PIO_COMPLETION_ROUTINE routine = location->CompletionRoutine;
    PVOID context = location->Context;
    UCHAR control = location->Control;
    location->Control = 0;
    location->CompletionRoutine = nullptr;
    location->Context = nullptr;
    IoSkipCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;
    bool invoke =
        routine &&
        ((NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
         (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
         (__atomic_load_n(&irp->Cancel, __ATOMIC_SEQ_CST) && (control & SL_INVOKE_ON_CANCEL)));
    bool atTop = irp->CurrentLocation > irp->StackCount;
    PDEVICE_OBJECT device = atTop ? nullptr : IoGetCurrentIrpStackLocation(irp)->DeviceObject;
    // Without a routine to decide, the pending mark moves up by itself.
    if (!invoke && irp->PendingReturned && !atTop) IoMarkIrpPending(irp);
    lock.unlock();
    if (unmarkedBy) {
      kmodel::ReportViolationAt(Rule::IrpPendingNotMarked, kmodel::DescribeIrp(irp), *unmarkedBy,
                                "returned STATUS_PENDING; completion found no pending mark");
    }
    if (!invoke) continue;
    Frame frame{FrameKind::Completion};
    frame.routine = kmodel::RoutineAddress(routine);
    frame.irp = irp;
    frame.device = kmodel::DescribeDevice(device);
    NTSTATUS result;
    {
      kmodel::FrameScope scope(frame);
      result = routine(device, irp, context);
      kmodel::CheckBalancedOnReturn(frame);
    }
    if (result == STATUS_MORE_PROCESSING_REQUIRED) {
      lock.lock();
      record->reclaims++;
      record->inFlight = false;
      record->walking = false;
      if (record->freedDuringWalk) table.DestroyLocked(record);
      lock.unlock();
      table.Changed().notify_all();
      return;
    }
  }
}

}  // namespace

NTSTATUS IofCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp) {
  kmodel::KernelState& state = State();
  kmodel::CheckIrqlAtMost(DISPATCH_LEVEL, "IoCallDriver");
  Frame* caller = kmodel::InnermostFrameFor(irp);
  std::unique_lock lock(state.irps.Mutex());
  IrpRecord* record = Settled(lock, irp);
  std::optional<std::pair<Rule, std::string>> broken;
  if (!record) {
    broken = {Rule::IrpNotAllocated, "IoCallDriver with an IRP that is not allocated"};
  } else if (IsOwnWalk(record)) {
    broken = {Rule::IrpCompletedAndPassedOn, "passed on from inside its own completion routine"};
  } else if (caller && caller->kind == FrameKind::Dispatch && caller->completed) {
    broken = {Rule::IrpCompletedAndPassedOn, "passed on after this routine completed it"};
  } else if (record->completed) {
    broken = {Rule::IrpCompletedAndPassedOn, "passed on after its completion had finished"};
  } else if (caller && caller->kind == FrameKind::Dispatch && caller->passedDown &&
             record->reclaims == caller->reclaimsAtPass) {
    broken = {Rule::IrpPassedOnTwice, "IoCallDriver while a lower driver holds the IRP"};
  } else if (irp->CurrentLocation <= 1) {
    broken = {Rule::IrpStackTooSmall,
              "no stack location left for " + kmodel::DescribeDevice(deviceObject)};
  } else if (!state.devices.Find(deviceObject)) {
    broken = {Rule::DeviceState, "IoCallDriver to a device object that does not exist"};
  }
  if (broken) {
    lock.unlock();
    ReportViolation(broken->first, record ? irp : nullptr, broken->second);
    return STATUS_INVALID_DEVICE_REQUEST;
  }
  if (caller && caller->kind == FrameKind::Dispatch) {
    caller->passedDown = true;
    caller->reclaimsAtPass = record->reclaims;
  }
  irp->CurrentLocation--;
  irp->Tail.Overlay.CurrentStackLocation--;
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  location->DeviceObject = deviceObject;
  int index = kmodel::LocationIndex(irp, location);
  record->locations[static_cast<size_t>(index)] = {};
  record->inFlight = true;
  record->major = location->MajorFunction;
  record->minor = location->MinorFunction;
  record->frameRefs++;
  lock.unlock();

  UCHAR major = location->MajorFunction;
  PDRIVER_DISPATCH routine = major <= IRP_MJ_MAXIMUM_FUNCTION
                                 ? deviceObject->DriverObject->MajorFunction[major]
                                 : deviceObject->DriverObject->MajorFunction[IRP_MJ_SHUTDOWN];
  Frame frame{FrameKind::Dispatch};
  frame.routine = kmodel::RoutineAddress(routine);
  frame.irp = irp;
  frame.device = kmodel::DescribeDevice(deviceObject);
  frame.major = major;
  frame.minor = location->MinorFunction;
  frame.location = index;
  NTSTATUS status;
  {
    kmodel::FrameScope scope(frame);
    status = routine(deviceObject, irp);
    kmodel::CheckBalancedOnReturn(frame);
  }
  CheckDispatchResult(record, frame, status);
  kmodel::AfterDriverCall();
  return status;
}

void IofCompleteRequest(PIRP irp, CCHAR priorityBoost) {
  kmodel::KernelState& state = State();
  kmodel::CheckIrqlAtMost(DISPATCH_LEVEL, "IoCompleteRequest");
  Frame* caller = kmodel::InnermostFrameFor(irp);
  std::unique_lock lock(state.irps.Mutex());
  IrpRecord* record = Settled(lock, irp);
  std::optional<std::pair<Rule, std::string>> broken;
  if (!record) {
    broken = {Rule::IrpNotAllocated, "IoCompleteRequest on an IRP that is not allocated"};
  } else if (IsOwnWalk(record)) {
    broken = {Rule::IrpCompletedTwice, "completed again from inside its own completion routine"};
  } else if (caller && caller->kind == FrameKind::Dispatch && caller->passedDown &&
             record->reclaims == caller->reclaimsAtPass) {
    broken = {Rule::IrpCompletedAndPassedOn,
              "completed after passing it to a lower driver that did not give it back"};
  } else if (record->completed) {
    broken = {Rule::IrpCompletedTwice, "its completion had already reached its originator"};
  }
  if (broken) {
    lock.unlock();
    ReportViolation(broken->first, record ? irp : nullptr, broken->second);
    return;
  }
  if (caller && caller->kind == FrameKind::Dispatch) caller->completed = true;
  record->walking = true;
  record->walker = std::this_thread::get_id();
  record->boost = priorityBoost;
  bool pendingStatus = irp->IoStatus.Status == STATUS_PENDING;
  PDRIVER_CANCEL cancel = __atomic_load_n(&irp->CancelRoutine, __ATOMIC_SEQ_CST);
  lock.unlock();
  if (pendingStatus) {
    ReportViolation(Rule::IrpCompletedPending, irp, "IoStatus.Status is STATUS_PENDING");
  }
  if (cancel) {
    ReportViolation(
        Rule::IrpCompletedWithCancelRoutine, irp,
        "cancel routine " + kmodel::RoutineName(kmodel::RoutineAddress(cancel)) + " is still set");
  }
  Walk(record);
}
