#include "kernel/testing/bus_driver.h"

#include <atomic>

#include "kernel/irp.h"
#include "kernel/model/kernel_state.h"
#include "kernel/model/text.h"
#include "kernel/pnp.h"
#include "kernel/power.h"

namespace kmodel {
namespace {

std::mutex busesMutex;
std::map<PDRIVER_OBJECT, BusDriver*> buses;

NTSTATUS Complete(PIRP irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace

BusDriver::BusDriver(std::u16string name) {
  DriverRecord* record = State().devices.CreateDriver(std::move(name), true);
  driver_ = &record->object;
  for (PDRIVER_DISPATCH& entry : driver_->MajorFunction) entry = &BusDriver::Dispatch;
  std::lock_guard guard(busesMutex);
  buses[driver_] = this;
}

BusDriver::~BusDriver() {
  std::lock_guard guard(busesMutex);
  buses.erase(driver_);
}

PDEVICE_OBJECT BusDriver::CreatePdo(const std::u16string& instancePath, Handler handler,
                                    bool createHardwareKey) {
  KernelState& state = State();
  // Numbered across all buses, so that two buses never collide in the namespace.
  static std::atomic<int> created{0};
  std::u16string name = u"\\Device\\ModelPdo" + Widen(std::to_string(++created));
  DeviceRecord* record = state.devices.Create(driver_, 0, name, FILE_DEVICE_BUS_EXTENDER, 0, false);
  record->instancePath = instancePath;
  record->object.Flags &= ~DO_DEVICE_INITIALIZING;
  state.names.InsertDevice(name, &record->object);
  std::u16string instanceKey = std::u16string(kEnumRoot) + u"\\" + instancePath;
  state.registry.CreateKey(instanceKey);
  if (createHardwareKey) state.registry.CreateKey(instanceKey + u"\\Device Parameters");
  SetHandler(&record->object, std::move(handler));
  return &record->object;
}

void BusDriver::SetHandler(PDEVICE_OBJECT pdo, Handler handler) {
  std::lock_guard guard(mutex_);
  handlers_[pdo] = handler ? std::move(handler) : Handler(&BusDriver::AnswerDefault);
}

void BusDriver::DeletePdo(PDEVICE_OBJECT pdo) {
  {
    std::lock_guard guard(mutex_);
    handlers_.erase(pdo);
  }
  IoDeleteDevice(pdo);
}

NTSTATUS BusDriver::AnswerDefault(PDEVICE_OBJECT device, PIRP irp) {
  UNREFERENCED_PARAMETER(device);
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  switch (location->MajorFunction) {
    case IRP_MJ_PNP:
      switch (location->MinorFunction) {
        case IRP_MN_START_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_QUERY_CAPABILITIES:
          return Complete(irp, STATUS_SUCCESS);
        default:
          return Complete(irp, irp->IoStatus.Status);
      }
    case IRP_MJ_POWER:
      PoStartNextPowerIrp(irp);
      return Complete(irp, STATUS_SUCCESS);
    case IRP_MJ_SYSTEM_CONTROL:
      return Complete(irp, irp->IoStatus.Status);
    default:
      return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
  }
}

NTSTATUS BusDriver::Dispatch(PDEVICE_OBJECT device, PIRP irp) {
  Handler handler;
  {
    std::lock_guard guard(busesMutex);
    auto bus = buses.find(device->DriverObject);
    if (bus != buses.end()) {
      std::lock_guard busGuard(bus->second->mutex_);
      auto it = bus->second->handlers_.find(device);
      if (it != bus->second->handlers_.end()) handler = it->second;
    }
  }
  return handler ? handler(device, irp) : AnswerDefault(device, irp);
}

}  // namespace kmodel
