// Device objects and device stacks.
#include "kernel/device_object.h"

#include <string>

#include "kernel/irql.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"
#include "kernel/model/text.h"

using kmodel::ReportViolation;
using kmodel::Rule;
using kmodel::State;

NTSTATUS IoCreateDevice(PDRIVER_OBJECT driverObject, ULONG deviceExtensionSize,
                        PUNICODE_STRING deviceName, DEVICE_TYPE deviceType,
                        ULONG deviceCharacteristics, BOOLEAN exclusive,
                        PDEVICE_OBJECT* deviceObject) {
  kmodel::KernelState& state = State();
  *deviceObject = nullptr;
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "IoCreateDevice");
  if (state.faults.ShouldFail(kmodel::AllocationKind::DeviceObject)) {
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  std::u16string name = kmodel::FromUnicode(deviceName);
  kmodel::DeviceRecord* record =
      state.devices.Create(driverObject, deviceExtensionSize, name, deviceType,
                           deviceCharacteristics, exclusive != FALSE);
  if (!name.empty()) {
    NTSTATUS status = state.names.InsertDevice(name, &record->object);
    if (!NT_SUCCESS(status)) {
      state.devices.Destroy(&record->object);
      return status;
    }
  }
  *deviceObject = &record->object;
  return STATUS_SUCCESS;
}

void IoDeleteDevice(PDEVICE_OBJECT deviceObject) {
  kmodel::KernelState& state = State();
  kmodel::CheckIrqlAtMost(APC_LEVEL, "IoDeleteDevice");
  kmodel::DeviceRecord* record = state.devices.Find(deviceObject);
  if (!record) {
    ReportViolation(Rule::DeviceState, nullptr,
                    "IoDeleteDevice on a device object that does not exist");
    return;
  }
  std::string name = kmodel::DescribeDevice(deviceObject);
  if (deviceObject->AttachedDevice) {
    ReportViolation(Rule::DeviceState, nullptr,
                    name + " is deleted while " +
                        kmodel::DescribeDevice(deviceObject->AttachedDevice) +
                        " is attached above it");
  }
  if (record->attachedTo) {
    ReportViolation(Rule::DeviceState, nullptr,
                    name + " is deleted while still attached to " +
                        kmodel::DescribeDevice(record->attachedTo) + " (detach it first)");
  }
  if (record->extension) {
    kmodel::ReleasingMemory(reinterpret_cast<uintptr_t>(record->extension), record->extensionSize,
                            "deleting " + name);
  }
  if (!record->name.empty()) state.names.RemoveDevice(record->name);
  state.names.ForgetPhysicalDevice(deviceObject);
  kmodel::DriverRecord* driver = state.devices.FindDriver(deviceObject->DriverObject);
  state.devices.Destroy(deviceObject);
  if (driver && !driver->modelDriver) state.deviceDeleted = true;
}

PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT sourceDevice,
                                           PDEVICE_OBJECT targetDevice) {
  kmodel::KernelState& state = State();
  if (state.faults.ServiceFailure(kmodel::Service::AttachDevice)) return nullptr;
  std::lock_guard guard(state.devices.Mutex());
  kmodel::DeviceRecord* source = state.devices.Find(sourceDevice);
  if (!source || !state.devices.Find(targetDevice)) return nullptr;
  PDEVICE_OBJECT top = state.devices.TopOfStack(targetDevice);
  top->AttachedDevice = sourceDevice;
  sourceDevice->StackSize = static_cast<CCHAR>(top->StackSize + 1);
  source->attachedTo = top;
  return top;
}

void IoDetachDevice(PDEVICE_OBJECT targetDevice) {
  kmodel::KernelState& state = State();
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "IoDetachDevice");
  std::unique_lock guard(state.devices.Mutex());
  PDEVICE_OBJECT source = targetDevice->AttachedDevice;
  kmodel::DeviceRecord* record = source ? state.devices.Find(source) : nullptr;
  if (!record) {
    guard.unlock();
    ReportViolation(Rule::DeviceState, nullptr,
                    "IoDetachDevice on " + kmodel::DescribeDevice(targetDevice) +
                        ", which has nothing attached");
    return;
  }
  targetDevice->AttachedDevice = nullptr;
  record->attachedTo = nullptr;
}
