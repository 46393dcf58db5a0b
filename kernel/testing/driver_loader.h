#pragma once
// Loading a driver and adding devices to it, as the I/O manager and the Plug and
// Play manager do. The driver object starts with every major function at the
// default; the service key (ServiceKeyPath) exists, the test filling it first if it
// wants values there, and its path is DriverEntry's RegistryPath, valid only during
// the call, as on the real system.

#include <string>

#include "kernel/device_object.h"

namespace kmodel {

std::u16string ServiceKeyPath(const std::u16string& serviceName);

struct LoadResult {
  PDRIVER_OBJECT driver = nullptr;
  NTSTATUS status = STATUS_UNSUCCESSFUL;
};

// Calls DriverEntry at PASSIVE_LEVEL.
LoadResult LoadDriver(PDRIVER_INITIALIZE driverEntry, const std::u16string& serviceName);
// The I/O manager's default dispatch routine.
bool IsDefaultDispatch(PDRIVER_DISPATCH routine);
// Calls the driver's AddDevice for a physical device object at PASSIVE_LEVEL and
// checks that a device it attached has left DO_DEVICE_INITIALIZING.
NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice);
// The device at the top of the stack that device belongs to.
PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT device);
// The image goes away: runs DriverUnload if there is one and checks that no device
// and no pool is left.
void UnloadDriver(PDRIVER_OBJECT driver);

}  // namespace kmodel
