#include "kernel/testing/driver_loader.h"

#include "kernel/irp.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"
#include "kernel/model/text.h"
#include "kernel/testing/kernel_model.h"

namespace kmodel {
namespace {

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT deviceObject, PIRP irp) {
  UNREFERENCED_PARAMETER(deviceObject);
  irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_INVALID_DEVICE_REQUEST;
}

// Runs a driver routine at PASSIVE_LEVEL in a frame of its own.
template <typename F>
NTSTATUS RunPassive(FrameKind kind, uintptr_t routine, F call) {
  ScopedIrql passive(PASSIVE_LEVEL);
  Frame frame{kind};
  frame.routine = routine;
  NTSTATUS status;
  {
    FrameScope scope(frame);
    status = call();
    CheckBalancedOnReturn(frame);
  }
  AfterDriverCall();
  return status;
}

}  // namespace

std::u16string ServiceKeyPath(const std::u16string& serviceName) {
  return std::u16string(kServicesRoot) + u"\\" + serviceName;
}

bool IsDefaultDispatch(PDRIVER_DISPATCH routine) {
  return routine == &InvalidDeviceRequest;
}

LoadResult LoadDriver(PDRIVER_INITIALIZE driverEntry, const std::u16string& serviceName) {
  KernelState& state = State();
  DriverRecord* record = state.devices.CreateDriver(serviceName, false);
  record->registryPath = ServiceKeyPath(serviceName);
  state.registry.CreateKey(record->registryPath);
  PDRIVER_OBJECT driver = &record->object;
  for (PDRIVER_DISPATCH& entry : driver->MajorFunction) entry = &InvalidDeviceRequest;
  driver->DriverInit = driverEntry;
  // A copy the driver may keep no longer than the call, like the real one.
  std::u16string path = record->registryPath;
  UNICODE_STRING registryPath{static_cast<USHORT>(path.size() * sizeof(WCHAR)),
                              static_cast<USHORT>(path.size() * sizeof(WCHAR)), path.data()};
  NTSTATUS status = RunPassive(FrameKind::DriverEntry, RoutineAddress(driverEntry),
                               [&] { return driverEntry(driver, &registryPath); });
  return {driver, status};
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice) {
  PDRIVER_ADD_DEVICE addDevice = driver->DriverExtension->AddDevice;
  if (!addDevice) return STATUS_NOT_SUPPORTED;
  NTSTATUS status = RunPassive(FrameKind::AddDevice, RoutineAddress(addDevice),
                               [&] { return addDevice(driver, physicalDevice); });
  if (NT_SUCCESS(status) && physicalDevice) {
    PDEVICE_OBJECT top = TopOfStack(physicalDevice);
    if (top->DriverObject == driver && (top->Flags & DO_DEVICE_INITIALIZING)) {
      ReportViolation(Rule::DeviceState, nullptr,
                      DescribeDevice(top) + " still has DO_DEVICE_INITIALIZING after AddDevice");
    }
  }
  return status;
}

PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT device) {
  return State().devices.TopOfStack(device);
}

void UnloadDriver(PDRIVER_OBJECT driver) {
  KernelState& state = State();
  if (state.devices.DevicesOf(driver) > 0) {
    ReportViolationAt(Rule::DeviceState, "", "the kernel",
                      "the driver is unloaded with device objects left");
    return;
  }
  if (driver->DriverUnload) {
    PDRIVER_UNLOAD unload = driver->DriverUnload;
    RunPassive(FrameKind::Unload, RoutineAddress(unload), [&] {
      unload(driver);
      return STATUS_SUCCESS;
    });
  }
  state.scheduler.RunUntilIdle();
  state.CheckForLeaks("the driver was unloaded");
}

}  // namespace kmodel
