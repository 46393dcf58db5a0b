#include "driver/framework/pipes.h"

#include "driver/framework/driver_globals.h"
#include "driver/framework/usb_requests.h"

namespace {

enum class AbortWait { ForCompletion, None };

PURB AllocateUrb(USHORT function, USHORT length) {
  auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, length, DRIVER_POOL_TAG));
  if (!urb) return nullptr;
  RtlZeroMemory(urb, length);
  urb->UrbHeader.Length = length;
  urb->UrbHeader.Function = function;
  return urb;
}

PURB PipeRequest(USHORT function, PUSBD_PIPE_INFORMATION pipe) {
  PURB urb = AllocateUrb(function, sizeof(_URB_PIPE_REQUEST));
  if (urb) urb->UrbPipeRequest.PipeHandle = pipe->PipeHandle;
  return urb;
}

// Takes the right to issue the one abort; false while another caller has it.
bool BeginAbort(PDEVICE_EXTENSION extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->AbortLock, &irql);
  bool taken = !extension->AbortInProgress;
  if (taken) extension->AbortInProgress = TRUE;
  KeReleaseSpinLock(&extension->AbortLock, irql);
  return taken;
}

void EndAbort(PDEVICE_EXTENSION extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->AbortLock, &irql);
  extension->AbortInProgress = FALSE;
  KeReleaseSpinLock(&extension->AbortLock, irql);
}

NTSTATUS SendAbort(PDEVICE_OBJECT deviceObject, PUSBD_PIPE_INFORMATION pipe, AbortWait wait) {
  PURB urb = PipeRequest(URB_FUNCTION_ABORT_PIPE, pipe);
  if (!urb) return STATUS_INSUFFICIENT_RESOURCES;
  if (wait == AbortWait::None) return SubmitUrbAsync(deviceObject, urb);
  NTSTATUS status = SubmitUrbSyncTimed(deviceObject, urb);
  ExFreePoolWithTag(urb, DRIVER_POOL_TAG);
  return status;
}

NTSTATUS Abort(PDEVICE_OBJECT deviceObject, ULONG endpointAddress, AbortWait wait) {
  PDEVICE_EXTENSION extension = ExtensionOf(deviceObject);
  if (!BeginAbort(extension)) return STATUS_SUCCESS;
  NTSTATUS status = STATUS_SUCCESS;
  PUSBD_PIPE_INFORMATION pipe = FindPipe(extension, endpointAddress);
  if (!pipe) {
    status = STATUS_INSUFFICIENT_RESOURCES;
  } else if (ReadULongNoFence(&pipe->PipeFlags) != 0) {
    status = SendAbort(deviceObject, pipe, wait);
    // Idle from now on, also when no abort could be sent.
    WriteULongNoFence(&pipe->PipeFlags, 0);
  }
  EndAbort(extension);
  return status;
}

}  // namespace

PUSBD_PIPE_INFORMATION FindPipe(PDEVICE_EXTENSION extension, ULONG endpointAddress) {
  for (PUSBD_PIPE_INFORMATION pipe : extension->PipeTable) {
    if (pipe && pipe->EndpointAddress == endpointAddress) return pipe;
  }
  return nullptr;
}

NTSTATUS ResetPipe(PDEVICE_EXTENSION extension, PUSBD_PIPE_INFORMATION pipe) {
  if (!pipe) return STATUS_INVALID_PARAMETER;
  PURB urb = PipeRequest(URB_FUNCTION_RESET_PIPE, pipe);
  if (!urb) return STATUS_INSUFFICIENT_RESOURCES;
  NTSTATUS status = SubmitUrbSync(extension->DeviceObject, urb);
  ExFreePoolWithTag(urb, DRIVER_POOL_TAG);
  return status;
}

NTSTATUS AbortPipe(PDEVICE_OBJECT deviceObject, ULONG endpointAddress) {
  return Abort(deviceObject, endpointAddress, AbortWait::ForCompletion);
}

NTSTATUS AbortPipeAsync(PDEVICE_OBJECT deviceObject, ULONG endpointAddress) {
  return Abort(deviceObject, endpointAddress, AbortWait::None);
}

NTSTATUS HaltBulkIn(PDEVICE_OBJECT deviceObject) {
  PDEVICE_EXTENSION extension = ExtensionOf(deviceObject);
  NTSTATUS status = AbortPipe(deviceObject, extension->BulkInAddress);
  PURB urb =
      AllocateUrb(URB_FUNCTION_SET_FEATURE_TO_ENDPOINT, sizeof(_URB_CONTROL_FEATURE_REQUEST));
  if (!urb) return status;
  if (!FindPipe(extension, extension->BulkInAddress)) {
    ExFreePoolWithTag(urb, DRIVER_POOL_TAG);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  urb->UrbControlFeatureRequest.FeatureSelector = USB_FEATURE_ENDPOINT_STALL;
  urb->UrbControlFeatureRequest.Index = static_cast<USHORT>(extension->BulkInAddress);
  urb->UrbControlFeatureRequest.UrbLink = nullptr;
  status = SubmitUrbSync(deviceObject, urb);
  ExFreePoolWithTag(urb, DRIVER_POOL_TAG);
  return status;
}
