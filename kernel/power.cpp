#include "kernel/power.h"

#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"
#include "kernel/pnp.h"

using kmodel::State;

NTSTATUS PoCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp) {
  if (IoGetNextIrpStackLocation(irp)->MajorFunction != IRP_MJ_POWER) {
    kmodel::ReportViolation(kmodel::Rule::DeviceState, irp, "PoCallDriver with a non-power IRP");
  }
  return IoCallDriver(deviceObject, irp);
}

void PoStartNextPowerIrp(PIRP irp) {
  UNREFERENCED_PARAMETER(irp);
}

NTSTATUS PoRequestPowerIrp(PDEVICE_OBJECT deviceObject, UCHAR minorFunction, POWER_STATE powerState,
                           PREQUEST_POWER_COMPLETE completionFunction, PVOID context, PIRP* irp) {
  kmodel::KernelState& state = State();
  if (minorFunction != IRP_MN_SET_POWER && minorFunction != IRP_MN_QUERY_POWER &&
      minorFunction != IRP_MN_WAIT_WAKE) {
    return STATUS_INVALID_PARAMETER_2;
  }
  PDEVICE_OBJECT top = state.devices.TopOfStack(deviceObject);
  kmodel::IrpRecord* record = state.irps.Create(top->StackSize, kmodel::IrpOrigin::System);
  PIRP request = &record->irp;
  request->IoStatus.Status = STATUS_NOT_SUPPORTED;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(request);
  next->MajorFunction = IRP_MJ_POWER;
  next->MinorFunction = minorFunction;
  next->Parameters.Power.Type = DevicePowerState;
  next->Parameters.Power.State = powerState;
  record->onFinished = [deviceObject, minorFunction, powerState, completionFunction,
                        context](kmodel::IrpRecord& finished) {
    IO_STATUS_BLOCK status = finished.irp.IoStatus;
    if (completionFunction) {
      completionFunction(deviceObject, minorFunction, powerState, context, &status);
    }
    kmodel::IrpTable& table = State().irps;
    std::lock_guard guard(table.Mutex());
    table.DestroyLocked(&finished);
  };
  if (irp) *irp = request;
  state.scheduler.QueuePassive([top, request] {
    IoCallDriver(top, request);
    kmodel::AfterDriverCall();
  });
  return STATUS_PENDING;
}
