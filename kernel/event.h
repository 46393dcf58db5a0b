#pragma once
// Dispatcher objects: the common header, events, and the wait on one object.

#include "kernel/base_types.h"

enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
enum KWAIT_REASON { Executive = 0, Suspended = 5, UserRequest = 6 };

// Type tells the kind of object; SignalState is changed only by the model's
// dispatcher, under its lock.
struct DISPATCHER_HEADER {
  UCHAR Type;
  UCHAR Signalling;
  UCHAR Size;
  UCHAR Reserved;
  LONG SignalState;
};

struct KEVENT {
  DISPATCHER_HEADER Header;
};
using PKEVENT = KEVENT*;
using PRKEVENT = KEVENT*;

void KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state);
// Returns the previous signal state. The increment is recorded, not used.
LONG KeSetEvent(PRKEVENT event, LONG increment, BOOLEAN wait);
LONG KeResetEvent(PRKEVENT event);
void KeClearEvent(PRKEVENT event);
LONG KeReadStateEvent(PRKEVENT event);

// Waits on an event or a timer. Timeout null: no limit; negative: relative, in
// 100-ns units; positive: an absolute system time; zero: a test of the state.
// Returns STATUS_SUCCESS or STATUS_TIMEOUT. A wait with any time-out other than zero
// at DISPATCH_LEVEL is a verifier violation.
NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON waitReason, KPROCESSOR_MODE waitMode,
                               BOOLEAN alertable, PLARGE_INTEGER timeout);
