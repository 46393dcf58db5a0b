#include "kernel/object_namespace.h"

#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"
#include "kernel/model/text.h"
#include "kernel/unicode_string.h"

using kmodel::Service;
using kmodel::State;

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING symbolicLinkName, PUNICODE_STRING deviceName) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "IoCreateSymbolicLink");
  kmodel::KernelState& state = State();
  if (auto failure = state.faults.ServiceFailure(Service::CreateSymbolicLink)) return *failure;
  return state.names.CreateLink(kmodel::FromUnicode(symbolicLinkName),
                                kmodel::FromUnicode(deviceName));
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING symbolicLinkName) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "IoDeleteSymbolicLink");
  return State().names.DeleteLink(kmodel::FromUnicode(symbolicLinkName));
}

NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT physicalDeviceObject,
                                   const GUID* interfaceClassGuid, PUNICODE_STRING referenceString,
                                   PUNICODE_STRING symbolicLinkName) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "IoRegisterDeviceInterface");
  kmodel::KernelState& state = State();
  if (auto failure = state.faults.ServiceFailure(Service::RegisterInterface)) return *failure;
  kmodel::DeviceRecord* record = state.devices.Find(physicalDeviceObject);
  if (!record || record->instancePath.empty()) return STATUS_INVALID_DEVICE_REQUEST;
  std::u16string link;
  NTSTATUS status =
      state.names.RegisterInterface(physicalDeviceObject, record->instancePath, *interfaceClassGuid,
                                    kmodel::FromUnicode(referenceString), &link);
  if (!NT_SUCCESS(status)) return status;
  size_t bytes = link.size() * sizeof(WCHAR);
  auto* buffer = static_cast<PWSTR>(kmodel::AllocateForDriver(bytes + sizeof(WCHAR)));
  RtlCopyMemory(buffer, link.c_str(), bytes + sizeof(WCHAR));
  symbolicLinkName->Buffer = buffer;
  symbolicLinkName->Length = static_cast<USHORT>(bytes);
  symbolicLinkName->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
  return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING symbolicLinkName, BOOLEAN enable) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "IoSetDeviceInterfaceState");
  kmodel::KernelState& state = State();
  if (auto failure = state.faults.ServiceFailure(Service::SetInterfaceState)) return *failure;
  return state.names.SetInterfaceState(kmodel::FromUnicode(symbolicLinkName), enable != FALSE);
}
