#pragma once
// A device stack of model devices for tests of the model itself: each device
// answers with its own handler, index 0 is the bottom, and each device's lower
// device is the one below it.

#include <vector>

#include "kernel/testing/bus_driver.h"

namespace kmodel {

class HandlerStack {
 public:
  explicit HandlerStack(int depth);
  PDEVICE_OBJECT Device(int index) { return devices_[static_cast<size_t>(index)]; }
  PDEVICE_OBJECT Top() { return devices_.back(); }
  void SetHandler(int index, BusDriver::Handler handler);
  // Passes the IRP unchanged to the device below index.
  NTSTATUS PassDown(int index, PIRP irp);

 private:
  BusDriver bus_;
  std::vector<PDEVICE_OBJECT> devices_;
};

}  // namespace kmodel
