#include "kernel/timer.h"

#include <string>

#include "kernel/irql.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

using kmodel::ReportViolation;
using kmodel::Rule;
using kmodel::State;

namespace {

constexpr UCHAR kDpcObject = 19;
constexpr UCHAR kNotificationTimer = 8;
constexpr UCHAR kSynchronizationTimer = 9;

}  // namespace

void KeQuerySystemTime(PLARGE_INTEGER currentTime) {
  currentTime->QuadPart = State().scheduler.Now();
}

void KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE deferredRoutine, PVOID deferredContext) {
  if (dpc->DpcData == &State().scheduler) {
    ReportViolation(Rule::FreedWhileQueued, nullptr, "KeInitializeDpc on a DPC that is queued");
    State().scheduler.RemoveDpc(dpc);
  }
  RtlZeroMemory(dpc, sizeof(KDPC));
  dpc->Type = kDpcObject;
  dpc->DeferredRoutine = deferredRoutine;
  dpc->DeferredContext = deferredContext;
}

BOOLEAN KeInsertQueueDpc(PRKDPC dpc, PVOID systemArgument1, PVOID systemArgument2) {
  return State().scheduler.InsertDpc(dpc, systemArgument1, systemArgument2) ? TRUE : FALSE;
}

BOOLEAN KeRemoveQueueDpc(PRKDPC dpc) {
  return State().scheduler.RemoveDpc(dpc) ? TRUE : FALSE;
}

void KeFlushQueuedDpcs() {
  if (KeGetCurrentIrql() != PASSIVE_LEVEL) {
    ReportViolation(Rule::WrongIrql, nullptr,
                    "KeFlushQueuedDpcs at IRQL " + std::to_string(KeGetCurrentIrql()));
    return;
  }
  State().scheduler.FlushDpcs();
}

void KeInitializeTimer(PKTIMER timer) {
  KeInitializeTimerEx(timer, NotificationTimer);
}

void KeInitializeTimerEx(PKTIMER timer, TIMER_TYPE type) {
  if (State().scheduler.TimerQueued(timer)) {
    ReportViolation(Rule::FreedWhileQueued, nullptr, "KeInitializeTimer on a timer that is set");
    State().scheduler.CancelTimer(timer);
  }
  RtlZeroMemory(timer, sizeof(KTIMER));
  timer->Header.Type = type == NotificationTimer ? kNotificationTimer : kSynchronizationTimer;
  timer->Header.Size = sizeof(KTIMER) / sizeof(LONG);
}

BOOLEAN KeSetTimer(PKTIMER timer, LARGE_INTEGER dueTime, PKDPC dpc) {
  return State().scheduler.SetTimer(timer, dueTime.QuadPart, dpc) ? TRUE : FALSE;
}

BOOLEAN KeCancelTimer(PKTIMER timer) {
  return State().scheduler.CancelTimer(timer) ? TRUE : FALSE;
}

BOOLEAN KeReadStateTimer(PKTIMER timer) {
  return State().scheduler.ReadSignal(&timer->Header) != 0 ? TRUE : FALSE;
}
