// Stand-ins for entry points that are not written yet, so that the driver links and
// loads. Each one refuses its request; the file that defines the real routine takes
// its stand-in out of here.
#include "driver/framework/dispatch_routines.h"

namespace {

NTSTATUS Refuse(PIRP irp) {
  irp->IoStatus.Status = STATUS_NOT_IMPLEMENTED;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_NOT_IMPLEMENTED;
}

}  // namespace

NTSTATUS AddDevice(PDRIVER_OBJECT driverObject, PDEVICE_OBJECT physicalDeviceObject) {
  UNREFERENCED_PARAMETER(driverObject);
  UNREFERENCED_PARAMETER(physicalDeviceObject);
  return STATUS_NOT_IMPLEMENTED;
}

#define REFUSING_DISPATCH(name)                          \
  NTSTATUS name(PDEVICE_OBJECT deviceObject, PIRP irp) { \
    UNREFERENCED_PARAMETER(deviceObject);                \
    return Refuse(irp);                                  \
  }

REFUSING_DISPATCH(DispatchCreate)
REFUSING_DISPATCH(DispatchClose)
REFUSING_DISPATCH(DispatchCleanup)
REFUSING_DISPATCH(DispatchRead)
REFUSING_DISPATCH(DispatchWrite)
REFUSING_DISPATCH(DispatchFlush)
REFUSING_DISPATCH(DispatchQueryInformation)
REFUSING_DISPATCH(DispatchSetInformation)
REFUSING_DISPATCH(DispatchDeviceControl)
REFUSING_DISPATCH(DispatchInternalDeviceControl)
REFUSING_DISPATCH(DispatchPnp)
REFUSING_DISPATCH(DispatchPower)
REFUSING_DISPATCH(DispatchSystemControl)
