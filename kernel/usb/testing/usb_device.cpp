// The simulated device's life on the bus: dispatch, pending and cancellation,
// completion from model work, and the peer.
#include "kernel/usb/testing/usb_device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "kernel/irp.h"
#include "kernel/model/kernel_state.h"

namespace kmodel::usb {
namespace {

// Cancel routines find their device by the physical device object.
std::mutex registryMutex;
std::map<PDEVICE_OBJECT, UsbDevice*> registry;
std::map<KernelState*, std::weak_ptr<BusDriver>> buses;

std::atomic<int> devicesMade{0};

std::u16string DefaultInstancePath(const std::vector<uint8_t>& device) {
  auto word = [&](size_t at) {
    return at + 1 < device.size() ? device[at] | device[at + 1] << 8 : 0;
  };
  char text[48];
  std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X\\%d", word(8), word(10), ++devicesMade);
  return std::u16string(text, text + std::strlen(text));
}

}  // namespace

int64_t ModelMilliseconds() {
  return State().scheduler.Now() / Milliseconds(1);
}

UsbDevice::UsbDevice(Kernel& kernel, DeviceDescription description, std::u16string instancePath)
    : kernel_(kernel), bus_(BusOf(kernel)), description_(std::move(description)) {
  const std::vector<uint8_t>& config = description_.configuration;
  if (config.size() >= sizeof(USB_CONFIGURATION_DESCRIPTOR)) {
    size_t end = std::min<size_t>(config.size(), config[2] | config[3] << 8);
    size_t at = sizeof(USB_CONFIGURATION_DESCRIPTOR);
    // The device's own view of a malformed configuration: what can be walked.
    while (at + sizeof(USB_COMMON_DESCRIPTOR) <= end) {
      size_t length = config[at];
      if (length == 0 || at + length > end) break;
      UCHAR type = config[at + 1];
      if (type == USB_INTERFACE_DESCRIPTOR_TYPE && length >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
        ParsedInterface parsed{};
        std::memcpy(&parsed.descriptor, &config[at], sizeof parsed.descriptor);
        interfaces_.push_back(parsed);
      } else if (type == USB_ENDPOINT_DESCRIPTOR_TYPE &&
                 length >= sizeof(USB_ENDPOINT_DESCRIPTOR) && !interfaces_.empty()) {
        USB_ENDPOINT_DESCRIPTOR endpoint;
        std::memcpy(&endpoint, &config[at], sizeof endpoint);
        interfaces_.back().endpoints.push_back(endpoint);
      }
      at += length;
    }
  }
  for (const ParsedInterface& parsed : interfaces_) {
    if (parsed.descriptor.bAlternateSetting != 0) continue;
    for (const USB_ENDPOINT_DESCRIPTOR& endpoint : parsed.endpoints) {
      if (!inEndpoint_ && USB_ENDPOINT_DIRECTION_IN(endpoint.bEndpointAddress) &&
          (endpoint.bmAttributes & USB_ENDPOINT_TYPE_MASK) == USB_ENDPOINT_TYPE_BULK) {
        inEndpoint_ = endpoint.bEndpointAddress;
      }
    }
  }
  if (instancePath.empty()) instancePath = DefaultInstancePath(description_.device);
  pdo_ = bus_->CreatePdo(instancePath, [this](PDEVICE_OBJECT, PIRP irp) { return Dispatch(irp); });
  std::lock_guard guard(registryMutex);
  registry[pdo_] = this;
}

UsbDevice::~UsbDevice() {
  Unplug();
  {
    std::lock_guard guard(mutex_);
    for (const auto& [token, wake] : wakes_) kernel_.CancelScheduled(wake.id);
    peer_ = nullptr;
  }
  // Completions and a wake already on its way run before the device goes.
  kernel_.RunUntilIdle();
  {
    std::lock_guard guard(registryMutex);
    registry.erase(pdo_);
  }
  if (!pdo_->AttachedDevice) bus_->DeletePdo(pdo_);
}

std::shared_ptr<BusDriver> UsbDevice::BusOf(Kernel& kernel) {
  std::lock_guard guard(registryMutex);
  std::shared_ptr<BusDriver> bus = buses[&kernel.State()].lock();
  if (!bus) {
    bus = std::make_shared<BusDriver>(u"UsbHub");
    buses[&kernel.State()] = bus;
  }
  return bus;
}

PURB UsbDevice::UrbOf(PIRP irp) {
  return static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
}

NTSTATUS UsbDevice::Dispatch(PIRP irp) {
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  if (location->MajorFunction != IRP_MJ_INTERNAL_DEVICE_CONTROL) {
    return BusDriver::AnswerDefault(pdo_, irp);
  }
  if (location->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB ||
      !UrbOf(irp)) {
    NTSTATUS status =
        location->Parameters.DeviceIoControl.IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB
            ? STATUS_INVALID_PARAMETER
            : STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
  }
  DoneList done;
  bool pended;
  NTSTATUS status = STATUS_PENDING;
  Completion mode;
  {
    std::lock_guard guard(mutex_);
    mode = completion_;
    Submitted submitted{irp, log_.Add(Describe(UrbOf(irp)))};
    pended = RouteLocked(submitted, done, false);
    PumpLocked(done);
    if (!pended) {
      auto own =
          std::find_if(done.begin(), done.end(), [&](const Done& d) { return d.irp == irp; });
      status = own->status;
      if (mode == Completion::Deferred) {
        IoMarkIrpPending(irp);
        pended = true;
      }
    }
  }
  if (!pended) {
    Complete(done);
    return status;
  }
  CompleteLater(std::move(done));
  return STATUS_PENDING;
}

bool UsbDevice::RouteLocked(const Submitted& urb, DoneList& done, bool held) {
  if (unplugged_) {
    FinishLocked(urb, done, STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE);
    return false;
  }
  USHORT function = UrbOf(urb.irp)->UrbHeader.Function;
  std::optional<UCHAR> endpoint = EndpointOfUrbLocked(UrbOf(urb.irp));
  auto matches = [&](const UrbMatch& match) {
    return (!match.function || *match.function == function) &&
           (!match.endpoint || match.endpoint == endpoint);
  };
  if (!held) {
    for (auto rule = failRules_.begin(); rule != failRules_.end(); ++rule) {
      if (!matches(rule->match)) continue;
      FinishLocked(urb, done, rule->status, rule->usbdStatus);
      if (--rule->remaining <= 0) failRules_.erase(rule);
      return false;
    }
    if (hold_ && matches(*hold_)) {
      PendLocked(urb, held_, done);
      return true;
    }
  }
  return ExecuteLocked(urb, done);
}

void UsbDevice::FinishLocked(const Submitted& urb, DoneList& done, NTSTATUS status,
                             USBD_STATUS usbdStatus, std::optional<ULONG> transferred) {
  PURB block = UrbOf(urb.irp);
  USHORT length = block->UrbHeader.Length;
  // A transfer that moved nothing says so, if its URB is long enough to hold the count.
  if (!transferred && block->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER &&
      length >= sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER)) {
    block->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
    transferred = 0;
  } else if (!transferred && block->UrbHeader.Function == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE &&
             length >= sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST)) {
    block->UrbControlDescriptorRequest.TransferBufferLength = 0;
    transferred = 0;
  }
  done.push_back({urb.irp, urb.logId, status, usbdStatus, transferred});
}

void UsbDevice::PendLocked(const Submitted& urb, std::deque<Submitted>& queue, DoneList& done) {
  IoMarkIrpPending(urb.irp);
  UrbOf(urb.irp)->UrbHeader.Status = USBD_STATUS_PENDING;
  queue.push_back(urb);
  IoSetCancelRoutine(urb.irp, &UsbDevice::CancelRoutine);
  // Cancelled before the routine was set: IoCancelIrp found none to call.
  if (__atomic_load_n(&urb.irp->Cancel, __ATOMIC_SEQ_CST) && IoSetCancelRoutine(urb.irp, nullptr)) {
    queue.pop_back();
    FinishLocked(urb, done, STATUS_CANCELLED, USBD_STATUS_CANCELED);
  }
}

void UsbDevice::FailQueueLocked(std::deque<Submitted>& queue, std::optional<UCHAR> onlyTransfersTo,
                                NTSTATUS status, USBD_STATUS usbdStatus, DoneList& done) {
  for (auto it = queue.begin(); it != queue.end();) {
    PURB urb = UrbOf(it->irp);
    bool chosen =
        !onlyTransfersTo || (urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER &&
                             EndpointOfUrbLocked(urb) == onlyTransfersTo);
    // An URB whose cancel routine has started is the cancel routine's to finish.
    if (!chosen || !IoSetCancelRoutine(it->irp, nullptr)) {
      ++it;
      continue;
    }
    Submitted taken = *it;
    it = queue.erase(it);
    FinishLocked(taken, done, status, usbdStatus);
  }
}

void UsbDevice::CancelRoutine(PDEVICE_OBJECT device, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  UsbDevice* self;
  {
    std::lock_guard guard(registryMutex);
    auto it = registry.find(device);
    self = it == registry.end() ? nullptr : it->second;
  }
  if (self) self->Cancel(irp);
}

void UsbDevice::Cancel(PIRP irp) {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    auto take = [&](std::deque<Submitted>& queue) {
      auto it = std::find_if(queue.begin(), queue.end(),
                             [&](const Submitted& s) { return s.irp == irp; });
      if (it == queue.end()) return false;
      Submitted taken = *it;
      queue.erase(it);
      FinishLocked(taken, done, STATUS_CANCELLED, USBD_STATUS_CANCELED);
      return true;
    };
    if (!take(held_)) {
      for (auto& [endpoint, queue] : pending_) {
        if (take(queue)) break;
      }
    }
  }
  CompleteLater(std::move(done));
}

void UsbDevice::Complete(DoneList& done) {
  for (const Done& d : done) {
    UrbOf(d.irp)->UrbHeader.Status = d.usbdStatus;
    d.irp->IoStatus.Status = d.status;
    d.irp->IoStatus.Information = 0;
    log_.Complete(d.logId, d.status, d.usbdStatus, d.transferred);
    IoCompleteRequest(d.irp, IO_NO_INCREMENT);
  }
}

void UsbDevice::CompleteLater(DoneList done) {
  if (done.empty()) return;
  kernel_.QueueAtDispatch([this, list = std::move(done)]() mutable { Complete(list); });
}

void UsbDevice::PumpLocked(DoneList& done) {
  if (!configured_ || !inEndpoint_ || halted_.count(*inEndpoint_)) return;
  std::deque<Submitted>& queue = QueueOf(*inEndpoint_);
  for (auto it = queue.begin(); it != queue.end() && !inPieces_.empty();) {
    if (!IoSetCancelRoutine(it->irp, nullptr)) {
      ++it;
      continue;
    }
    Submitted taken = *it;
    it = queue.erase(it);
    _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = UrbOf(taken.irp)->UrbBulkOrInterruptTransfer;
    std::vector<uint8_t>& piece = inPieces_.front();
    ULONG count = std::min<ULONG>(static_cast<ULONG>(piece.size()), transfer.TransferBufferLength);
    bool isShort = count < transfer.TransferBufferLength;
    std::copy_n(piece.begin(), count, static_cast<uint8_t*>(transfer.TransferBuffer));
    piece.erase(piece.begin(), piece.begin() + count);
    if (piece.empty()) inPieces_.pop_front();
    transfer.TransferBufferLength = count;
    if (isShort && !(transfer.TransferFlags & USBD_SHORT_TRANSFER_OK)) {
      FinishLocked(taken, done, STATUS_UNSUCCESSFUL, USBD_STATUS_ERROR_SHORT_TRANSFER, count);
    } else {
      FinishLocked(taken, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS, count);
    }
  }
}

void UsbDevice::PollPeerLocked() {
  if (!peer_) return;
  peer_->Poll();
  // What the peer has sent by now travels as one piece.
  std::vector<uint8_t> piece;
  uint8_t buffer[4096];
  while (size_t count = peer_->TakeOutput(buffer))
    piece.insert(piece.end(), buffer, buffer + count);
  if (!piece.empty()) inPieces_.push_back(std::move(piece));
  std::optional<int64_t> next = peer_->NextOutputMs();
  if (!next) return;
  int64_t now = kernel_.Now();
  // Output the peer says is due already comes at the next tick, so time moves on.
  int64_t at = std::max(*next * Milliseconds(1), now + Milliseconds(1));
  for (const auto& [token, wake] : wakes_) {
    if (wake.at <= at) return;
  }
  uint64_t token = nextWake_++;
  uint64_t id = kernel_.ScheduleAfter(at - now, [this, token] { OnPeerWake(token); });
  wakes_[token] = {id, at};
}

void UsbDevice::OnPeerWake(uint64_t token) {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    wakes_.erase(token);
    PollPeerLocked();
    PumpLocked(done);
  }
  Complete(done);
}

std::deque<UsbDevice::Submitted>& UsbDevice::QueueOf(UCHAR endpoint) {
  return pending_[endpoint];
}

}  // namespace kmodel::usb
