#include "kernel/testing/handler_stack.h"

#include <string>

#include "kernel/model/text.h"

namespace kmodel {

HandlerStack::HandlerStack(int depth) : bus_(u"ModelStack") {
  for (int i = 0; i < depth; ++i) {
    PDEVICE_OBJECT device = bus_.CreatePdo(u"MODEL\\STACK\\" + Widen(std::to_string(i)));
    if (!devices_.empty()) IoAttachDeviceToDeviceStack(device, devices_.back());
    devices_.push_back(device);
  }
}

void HandlerStack::SetHandler(int index, BusDriver::Handler handler) {
  bus_.SetHandler(Device(index), std::move(handler));
}

NTSTATUS HandlerStack::PassDown(int index, PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(Device(index - 1), irp);
}

}  // namespace kmodel
