#pragma once
// Device-state checks and the outstanding-request count used by every dispatch
// routine: CheckDeviceReady first, then CheckErrorAbort where the request is subject
// to error abort, then AcquireIoReference where the request is kept, waits or sends
// work down; the reference is released when the request is completed or passed on.
// All four may be called at DISPATCH_LEVEL.

#include "kernel/kernel.h"

// STATUS_DELETE_PENDING once removed; STATUS_UNSUCCESSFUL before start or while a
// removal is pending; else STATUS_SUCCESS. Changes nothing.
NTSTATUS CheckDeviceReady(PDEVICE_OBJECT deviceObject);
// With error abort on and an error recorded, any request but the query of the comm
// status gets Information 0 and Status STATUS_CANCELLED, and STATUS_CANCELLED is
// returned for the caller to complete it; otherwise STATUS_SUCCESS.
NTSTATUS CheckErrorAbort(PDEVICE_OBJECT deviceObject, PIRP irp);
void AcquireIoReference(PDEVICE_OBJECT deviceObject);
// Sets StopEvent when the count falls to 1 and RemoveEvent when it falls to 0;
// returns the new count.
LONG ReleaseIoReference(PDEVICE_OBJECT deviceObject);
