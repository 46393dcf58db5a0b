#include "driver/framework/usb_requests.h"

#include "driver/framework/device_extension.h"
#include "driver/framework/driver_globals.h"

namespace {

// 100-nanosecond units in a millisecond.
constexpr LONGLONG kUnitsPerMs = 10'000;

void PutUrb(PIRP irp, PURB urb) {
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.DeviceIoControl.InputBufferLength = 0;
  // The URB lies where OutputBufferLength does, so that length is not written.
  next->Parameters.Others.Argument1 = urb;
}

NTSTATUS SignalUrbDone(PDEVICE_OBJECT deviceObject, PIRP irp, PVOID context) {
  UNREFERENCED_PARAMETER(deviceObject);
  UNREFERENCED_PARAMETER(irp);
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS FreeUrbAndRequest(PDEVICE_OBJECT deviceObject, PIRP irp, PVOID context) {
  UNREFERENCED_PARAMETER(deviceObject);
  ExFreePoolWithTag(context, DRIVER_POOL_TAG);
  IoFreeIrp(irp);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

// timeout: null for no limit.
NTSTATUS SubmitAndWait(PDEVICE_OBJECT deviceObject, PURB urb, PLARGE_INTEGER timeout) {
  PDEVICE_OBJECT lower = ExtensionOf(deviceObject)->LowerDeviceObject;
  if (!lower) return STATUS_INVALID_PARAMETER;
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IO_STATUS_BLOCK ioStatus{};
  PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, lower, nullptr, 0,
                                           nullptr, 0, TRUE, &done, &ioStatus);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  PutUrb(irp, urb);
  // The request comes back to this routine before the I/O manager may free it, so
  // that cancelling it after a time-out can never meet a request already gone.
  IoSetCompletionRoutine(irp, SignalUrbDone, &done, TRUE, TRUE, TRUE);
  NTSTATUS status = IoCallDriver(lower, irp);
  if (status == STATUS_PENDING &&
      KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, timeout) == STATUS_TIMEOUT) {
    IoCancelIrp(irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
  }
  // Completion goes on to the I/O manager, which fills the status block and frees
  // the request.
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status == STATUS_PENDING ? ioStatus.Status : status;
}

}  // namespace

NTSTATUS SubmitUrbSync(PDEVICE_OBJECT deviceObject, PURB urb) {
  return SubmitAndWait(deviceObject, urb, nullptr);
}

NTSTATUS SubmitUrbSyncTimed(PDEVICE_OBJECT deviceObject, PURB urb) {
  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>(UrbTimeoutMs) * kUnitsPerMs;
  return SubmitAndWait(deviceObject, urb, &timeout);
}

NTSTATUS SubmitUrbAsync(PDEVICE_OBJECT deviceObject, PURB urb) {
  PDEVICE_OBJECT lower = ExtensionOf(deviceObject)->LowerDeviceObject;
  PIRP irp = lower ? IoAllocateIrp(lower->StackSize, FALSE) : nullptr;
  if (!irp) {
    // Nobody else would ever free it.
    ExFreePoolWithTag(urb, DRIVER_POOL_TAG);
    return lower ? STATUS_INSUFFICIENT_RESOURCES : STATUS_INVALID_PARAMETER;
  }
  PutUrb(irp, urb);
  IoSetCompletionRoutine(irp, FreeUrbAndRequest, urb, TRUE, TRUE, TRUE);
  return IoCallDriver(lower, irp);
}
