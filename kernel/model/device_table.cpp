#include "kernel/model/device_table.h"

#include <new>

#include "kernel/model/kernel_state.h"
#include "kernel/model/text.h"

namespace kmodel {
namespace {

constexpr std::align_val_t kExtensionAlignment{16};

}  // namespace

DeviceRecord::~DeviceRecord() {
  if (extension) ::operator delete(extension, kExtensionAlignment);
}

DriverRecord* DeviceTable::CreateDriver(std::u16string serviceName, bool modelDriver) {
  auto record = std::make_unique<DriverRecord>();
  record->serviceName = std::move(serviceName);
  record->name = u"\\Driver\\" + record->serviceName;
  record->modelDriver = modelDriver;
  DRIVER_OBJECT& object = record->object;
  object.Type = 4;
  object.Size = sizeof(DRIVER_OBJECT);
  object.DriverExtension = &record->extension;
  record->extension.DriverObject = &object;
  auto bytes = [](const std::u16string& text) {
    return static_cast<USHORT>(text.size() * sizeof(WCHAR));
  };
  object.DriverName = {bytes(record->name), bytes(record->name), record->name.data()};
  record->extension.ServiceKeyName = {bytes(record->serviceName), bytes(record->serviceName),
                                      record->serviceName.data()};
  DriverRecord* raw = record.get();
  std::lock_guard guard(mutex_);
  drivers_[&raw->object] = std::move(record);
  return raw;
}

DriverRecord* DeviceTable::FindDriver(PDRIVER_OBJECT driver) {
  std::lock_guard guard(mutex_);
  auto it = drivers_.find(driver);
  return it == drivers_.end() ? nullptr : it->second.get();
}

std::vector<DriverRecord*> DeviceTable::Drivers() {
  std::lock_guard guard(mutex_);
  std::vector<DriverRecord*> list;
  for (auto& [object, record] : drivers_) list.push_back(record.get());
  return list;
}

DeviceRecord* DeviceTable::Create(PDRIVER_OBJECT driver, ULONG extensionSize, std::u16string name,
                                  DEVICE_TYPE type, ULONG characteristics, bool exclusive) {
  auto record = std::make_unique<DeviceRecord>();
  record->name = std::move(name);
  record->extensionSize = extensionSize;
  DEVICE_OBJECT& object = record->object;
  object.Type = 3;
  object.Size = static_cast<USHORT>(sizeof(DEVICE_OBJECT) + extensionSize);
  object.DriverObject = driver;
  object.DeviceType = type;
  object.Characteristics = characteristics;
  object.StackSize = 1;
  object.Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
  object.ModelRecord = record.get();
  if (extensionSize > 0) {
    record->extension = ::operator new(extensionSize, kExtensionAlignment);
    RtlZeroMemory(record->extension, extensionSize);
    object.DeviceExtension = record->extension;
  }
  DeviceRecord* raw = record.get();
  std::lock_guard guard(mutex_);
  object.NextDevice = driver->DeviceObject;
  driver->DeviceObject = &object;
  devices_[&object] = std::move(record);
  return raw;
}

DeviceRecord* DeviceTable::Find(PDEVICE_OBJECT device) {
  std::lock_guard guard(mutex_);
  auto it = devices_.find(device);
  return it == devices_.end() ? nullptr : it->second.get();
}

void DeviceTable::Destroy(PDEVICE_OBJECT device) {
  std::lock_guard guard(mutex_);
  PDRIVER_OBJECT driver = device->DriverObject;
  for (PDEVICE_OBJECT* link = &driver->DeviceObject; *link; link = &(*link)->NextDevice) {
    if (*link == device) {
      *link = device->NextDevice;
      break;
    }
  }
  devices_.erase(device);
}

size_t DeviceTable::DevicesOf(PDRIVER_OBJECT driver) {
  std::lock_guard guard(mutex_);
  size_t count = 0;
  for (auto& [object, record] : devices_) count += object->DriverObject == driver;
  return count;
}

PDEVICE_OBJECT DeviceTable::TopOfStack(PDEVICE_OBJECT device) {
  std::lock_guard guard(mutex_);
  while (device->AttachedDevice) device = device->AttachedDevice;
  return device;
}

std::string DeviceTable::NameOf(PDEVICE_OBJECT device) {
  DeviceTable& table = State().devices;
  std::lock_guard guard(table.mutex_);
  auto it = table.devices_.find(device);
  return it == table.devices_.end() ? std::string() : Narrow(it->second->name);
}

}  // namespace kmodel
