#pragma once
// Driver and device objects as the model keeps them: who created each device, its
// name, the device it is attached to, and (for physical device objects) the device
// instance whose registry keys it owns.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/device_object.h"

namespace kmodel {

struct DeviceRecord {
  DEVICE_OBJECT object{};
  void* extension = nullptr;
  size_t extensionSize = 0;
  std::u16string name;
  PDEVICE_OBJECT attachedTo = nullptr;
  std::u16string instancePath;
  ~DeviceRecord();
};

struct DriverRecord {
  DRIVER_OBJECT object{};
  DRIVER_EXTENSION extension{};
  std::u16string name;
  std::u16string serviceName;
  std::u16string registryPath;
  // A driver the model itself provides (a bus driver), not the driver under test.
  bool modelDriver = false;
};

class DeviceTable {
 public:
  DriverRecord* CreateDriver(std::u16string serviceName, bool modelDriver);
  DriverRecord* FindDriver(PDRIVER_OBJECT driver);
  std::vector<DriverRecord*> Drivers();
  DeviceRecord* Create(PDRIVER_OBJECT driver, ULONG extensionSize, std::u16string name,
                       DEVICE_TYPE type, ULONG characteristics, bool exclusive);
  // The record of a device that exists, or null.
  DeviceRecord* Find(PDEVICE_OBJECT device);
  void Destroy(PDEVICE_OBJECT device);
  size_t DevicesOf(PDRIVER_OBJECT driver);
  PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT device);
  // The device's name in narrow text, or empty.
  static std::string NameOf(PDEVICE_OBJECT device);
  std::recursive_mutex& Mutex() { return mutex_; }

 private:
  std::recursive_mutex mutex_;
  std::map<PDRIVER_OBJECT, std::unique_ptr<DriverRecord>> drivers_;
  std::map<PDEVICE_OBJECT, std::unique_ptr<DeviceRecord>> devices_;
};

}  // namespace kmodel
