#include "driver/framework/request_accounting.h"

#include "driver/framework/device_extension.h"

NTSTATUS CheckDeviceReady(PDEVICE_OBJECT deviceObject) {
  PDEVICE_EXTENSION extension = ExtensionOf(deviceObject);
  if (ReadBooleanNoFence(&extension->Removed)) return STATUS_DELETE_PENDING;
  if (!ReadBooleanNoFence(&extension->Started) || ReadBooleanNoFence(&extension->RemovePending)) {
    return STATUS_UNSUCCESSFUL;
  }
  return STATUS_SUCCESS;
}

NTSTATUS CheckErrorAbort(PDEVICE_OBJECT deviceObject, PIRP irp) {
  PDEVICE_EXTENSION extension = ExtensionOf(deviceObject);
  // Both words are read without their locks; their writers store them whole.
  bool abortOnError =
      (ReadULongNoFence(&extension->PortHandFlow.ControlHandShake) & SERIAL_ERROR_ABORT) != 0;
  if (!abortOnError || ReadULongNoFence(&extension->ErrorFlags) == 0) return STATUS_SUCCESS;
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  if (location->MajorFunction == IRP_MJ_DEVICE_CONTROL &&
      location->Parameters.DeviceIoControl.IoControlCode == IOCTL_SERIAL_GET_COMMSTATUS) {
    return STATUS_SUCCESS;
  }
  irp->IoStatus.Information = 0;
  irp->IoStatus.Status = STATUS_CANCELLED;
  return STATUS_CANCELLED;
}

void AcquireIoReference(PDEVICE_OBJECT deviceObject) {
  InterlockedIncrement(&ExtensionOf(deviceObject)->OutstandingIo);
}

LONG ReleaseIoReference(PDEVICE_OBJECT deviceObject) {
  PDEVICE_EXTENSION extension = ExtensionOf(deviceObject);
  LONG count = InterlockedDecrement(&extension->OutstandingIo);
  if (count == 1) KeSetEvent(&extension->StopEvent, 1, FALSE);
  if (count == 0) KeSetEvent(&extension->RemoveEvent, 1, FALSE);
  return count;
}
