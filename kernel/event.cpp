#include "kernel/event.h"

#include <optional>
#include <string>

#include "kernel/irql.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

using kmodel::State;

void KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
  event->Header.Type = type == NotificationEvent ? 0 : 1;
  event->Header.Size = sizeof(KEVENT) / sizeof(LONG);
  event->Header.Signalling = 0;
  event->Header.Reserved = 0;
  event->Header.SignalState = state ? 1 : 0;
}

LONG KeSetEvent(PRKEVENT event, LONG increment, BOOLEAN wait) {
  UNREFERENCED_PARAMETER(increment);
  UNREFERENCED_PARAMETER(wait);
  return State().scheduler.SetSignal(&event->Header, 1);
}

LONG KeResetEvent(PRKEVENT event) {
  return State().scheduler.SetSignal(&event->Header, 0);
}

void KeClearEvent(PRKEVENT event) {
  State().scheduler.SetSignal(&event->Header, 0);
}

LONG KeReadStateEvent(PRKEVENT event) {
  return State().scheduler.ReadSignal(&event->Header);
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON waitReason, KPROCESSOR_MODE waitMode,
                               BOOLEAN alertable, PLARGE_INTEGER timeout) {
  UNREFERENCED_PARAMETER(waitReason);
  UNREFERENCED_PARAMETER(waitMode);
  UNREFERENCED_PARAMETER(alertable);
  kmodel::KernelState& state = State();
  bool poll = timeout && timeout->QuadPart == 0;
  KIRQL irql = KeGetCurrentIrql();
  if (irql > DISPATCH_LEVEL || (irql == DISPATCH_LEVEL && !poll)) {
    kmodel::ReportViolation(
        kmodel::Rule::WrongIrql, nullptr,
        std::string("KeWaitForSingleObject ") +
            (timeout ? "with a time-out of " + std::to_string(timeout->QuadPart) + " (100 ns)"
                     : "without a time-out") +
            " at IRQL " + std::to_string(irql));
    poll = true;
  }
  std::optional<int64_t> deadline;
  if (timeout && !poll) {
    deadline =
        timeout->QuadPart < 0 ? state.scheduler.Now() - timeout->QuadPart : timeout->QuadPart;
  }
  return state.scheduler.Wait(static_cast<DISPATCHER_HEADER*>(object), deadline, poll);
}
