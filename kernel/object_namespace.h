#pragma once
// Named objects: symbolic links and device interfaces. "\DosDevices\" and "\??\"
// name the same directory.

#include "kernel/base_types.h"
#include "kernel/device_object.h"
#include "kernel/ntstatus.h"

// STATUS_OBJECT_NAME_COLLISION when the link name is taken.
NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING symbolicLinkName, PUNICODE_STRING deviceName);
// STATUS_OBJECT_NAME_NOT_FOUND when no such link exists.
NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING symbolicLinkName);

// Registers an interface class for a physical device object and returns its symbolic
// name in a buffer the caller frees with RtlFreeUnicodeString. Registering the same
// interface again returns the same name.
NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT physicalDeviceObject,
                                   const GUID* interfaceClassGuid, PUNICODE_STRING referenceString,
                                   PUNICODE_STRING symbolicLinkName);
// Enabling an enabled interface returns STATUS_OBJECT_NAME_EXISTS; disabling one that
// is not enabled, or naming no interface, STATUS_OBJECT_NAME_NOT_FOUND.
NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING symbolicLinkName, BOOLEAN enable);
