#pragma once
// Sending URBs to the USB stack: every URB goes down to LowerDeviceObject as an
// internal device-control request with IOCTL_INTERNAL_USB_SUBMIT_URB. With no lower
// device object (removal has detached it) all three refuse with
// STATUS_INVALID_PARAMETER; a request that cannot be allocated gives
// STATUS_INSUFFICIENT_RESOURCES and nothing is sent. The URB's own USB status is
// left to the caller.

#include "kernel/kernel.h"
#include "kernel/usb/usb.h"

// Waits for the request without a limit. PASSIVE_LEVEL.
NTSTATUS SubmitUrbSync(PDEVICE_OBJECT deviceObject, PURB urb);
// Waits at most UrbTimeoutMs; then cancels the request and waits for it without a
// limit, and returns its final status (normally STATUS_CANCELLED). PASSIVE_LEVEL.
NTSTATUS SubmitUrbSyncTimed(PDEVICE_OBJECT deviceObject, PURB urb);
// Sends without waiting and returns what the lower driver returned. The URB, from
// the non-paged pool with the driver's tag, is the call's from then on: it is freed
// with the request when the request completes, or at once when nothing can be
// sent. Callable at DISPATCH_LEVEL.
NTSTATUS SubmitUrbAsync(PDEVICE_OBJECT deviceObject, PURB urb);
