#pragma once
// A bus driver of the model: it owns physical device objects and answers the IRPs
// that reach them. Each device gets a handler; without one it answers as a simple
// bus driver does (below). A handler may keep an IRP (mark it pending, return
// STATUS_PENDING) and complete it later from model work at DISPATCH_LEVEL
// (Kernel::QueueAtDispatch or ScheduleAfter), as a real bus completes transfers.

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "kernel/device_object.h"

namespace kmodel {

class BusDriver {
 public:
  // (device object, IRP) -> status returned by the dispatch routine.
  using Handler = std::function<NTSTATUS(PDEVICE_OBJECT, PIRP)>;

  explicit BusDriver(std::u16string name = u"ModelBus");
  ~BusDriver();
  BusDriver(const BusDriver&) = delete;
  BusDriver& operator=(const BusDriver&) = delete;

  // A physical device object for a device instance such as "USB\VID_1234&PID_0001\1".
  // Its hardware key "...\Enum\<instance>\Device Parameters" is created unless told
  // otherwise, so that the driver above can open it.
  PDEVICE_OBJECT CreatePdo(const std::u16string& instancePath, Handler handler = {},
                           bool createHardwareKey = true);
  void SetHandler(PDEVICE_OBJECT pdo, Handler handler);
  // Deletes the physical device object (after the driver above has detached).
  void DeletePdo(PDEVICE_OBJECT pdo);
  PDRIVER_OBJECT Driver() { return driver_; }

  // Plug and Play: success for the requests a bus driver must accept, the status
  // as it came for the others; power: success; system control: as it came; every
  // other request: STATUS_INVALID_DEVICE_REQUEST. Completes the IRP.
  static NTSTATUS AnswerDefault(PDEVICE_OBJECT device, PIRP irp);

 private:
  static NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp);

  PDRIVER_OBJECT driver_;
  std::mutex mutex_;
  std::map<PDEVICE_OBJECT, Handler> handlers_;
};

}  // namespace kmodel
