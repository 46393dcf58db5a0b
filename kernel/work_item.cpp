#include "kernel/work_item.h"

#include <new>

#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

using kmodel::State;

struct IO_WORKITEM {
  PDEVICE_OBJECT device;
  bool queued;
};

PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT deviceObject) {
  if (State().faults.ShouldFail(kmodel::AllocationKind::WorkItem)) return nullptr;
  return new IO_WORKITEM{deviceObject, false};
}

void IoFreeWorkItem(PIO_WORKITEM workItem) {
  if (__atomic_load_n(&workItem->queued, __ATOMIC_ACQUIRE)) {
    kmodel::ReportViolation(kmodel::Rule::FreedWhileQueued, nullptr,
                            "IoFreeWorkItem on a work item that is queued");
    return;
  }
  delete workItem;
}

void IoQueueWorkItem(PIO_WORKITEM workItem, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE queueType,
                     PVOID context) {
  UNREFERENCED_PARAMETER(queueType);
  __atomic_store_n(&workItem->queued, true, __ATOMIC_RELEASE);
  State().scheduler.QueuePassive([workItem, routine, context] {
    PDEVICE_OBJECT device = workItem->device;
    __atomic_store_n(&workItem->queued, false, __ATOMIC_RELEASE);
    kmodel::Frame frame{kmodel::FrameKind::WorkItem};
    frame.routine = kmodel::RoutineAddress(routine);
    frame.device = kmodel::DescribeDevice(device);
    {
      kmodel::FrameScope scope(frame);
      routine(device, context);
      kmodel::CheckBalancedOnReturn(frame);
    }
    kmodel::AfterDriverCall();
  });
}
