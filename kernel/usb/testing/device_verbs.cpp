// The simulated device's test controls: the verbs that change what it does and the
// questions a test asks about its state.
#include <algorithm>
#include <chrono>

#include "kernel/usb/testing/usb_device.h"

namespace kmodel::usb {

void UsbDevice::SetCompletion(Completion mode) {
  std::lock_guard guard(mutex_);
  completion_ = mode;
}

void UsbDevice::Connect(StreamPeer* peer) {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    peer_ = peer;
    PollPeerLocked();
    PumpLocked(done);
  }
  CompleteLater(std::move(done));
}

void UsbDevice::Unplug() {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    unplugged_ = true;
    for (auto& [endpoint, queue] : pending_) {
      FailQueueLocked(queue, {}, STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE, done);
    }
    FailQueueLocked(held_, {}, STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE, done);
  }
  CompleteLater(std::move(done));
}

void UsbDevice::Stall(UCHAR endpoint) {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    halted_.insert(endpoint);
    FailQueueLocked(QueueOf(endpoint), {}, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID, done);
  }
  CompleteLater(std::move(done));
}

void UsbDevice::FailNext(int count, NTSTATUS status, USBD_STATUS usbdStatus, UrbMatch match) {
  std::lock_guard guard(mutex_);
  if (count > 0) failRules_.push_back({count, status, usbdStatus, match});
}

void UsbDevice::Hold(UrbMatch match) {
  std::lock_guard guard(mutex_);
  hold_ = match;
}

void UsbDevice::Release() {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    hold_.reset();
    for (auto it = held_.begin(); it != held_.end();) {
      if (!IoSetCancelRoutine(it->irp, nullptr)) {
        ++it;
        continue;
      }
      Submitted taken = *it;
      it = held_.erase(it);
      RouteLocked(taken, done, true);
    }
    PumpLocked(done);
  }
  CompleteLater(std::move(done));
}

void UsbDevice::DeliverIn(std::span<const uint8_t> bytes, std::span<const size_t> pieces) {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    size_t at = 0;
    for (size_t size : pieces) {
      size_t count = std::min(size, bytes.size() - at);
      inPieces_.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
      at += count;
    }
    if (at < bytes.size() || pieces.empty()) {
      inPieces_.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
    }
    PumpLocked(done);
  }
  CompleteLater(std::move(done));
}

void UsbDevice::DeliverZeroLength() {
  DoneList done;
  {
    std::lock_guard guard(mutex_);
    inPieces_.emplace_back();
    PumpLocked(done);
  }
  CompleteLater(std::move(done));
}

std::vector<uint8_t> UsbDevice::OutBytes() const {
  std::lock_guard guard(mutex_);
  return outBytes_;
}

bool UsbDevice::Configured() const {
  std::lock_guard guard(mutex_);
  return configured_;
}

bool UsbDevice::Halted(UCHAR endpoint) const {
  std::lock_guard guard(mutex_);
  return halted_.count(endpoint) != 0;
}

size_t UsbDevice::PendingTransfers(UCHAR endpoint) const {
  std::lock_guard guard(mutex_);
  auto it = pending_.find(endpoint);
  return it == pending_.end() ? 0 : it->second.size();
}

size_t UsbDevice::HeldUrbs() const {
  std::lock_guard guard(mutex_);
  return held_.size();
}

size_t UsbDevice::BufferedIn() const {
  std::lock_guard guard(mutex_);
  size_t total = 0;
  for (const std::vector<uint8_t>& piece : inPieces_) total += piece.size();
  return total;
}

bool UsbDevice::WaitForUrbs(size_t count) {
  return log_.WaitForSize(count, std::chrono::seconds(10));
}

std::vector<USBD_PIPE_INFORMATION> UsbDevice::ConfigureDirectly() {
  DoneList done;
  std::vector<USBD_PIPE_INFORMATION> pipes;
  {
    std::lock_guard guard(mutex_);
    std::vector<const ParsedInterface*> chosen;
    for (const ParsedInterface& parsed : interfaces_) {
      if (parsed.descriptor.bAlternateSetting == 0) chosen.push_back(&parsed);
    }
    for (Endpoint* endpoint : ConfigureLocked(chosen, done)) {
      USBD_PIPE_INFORMATION pipe{};
      pipe.MaximumPacketSize = endpoint->descriptor.wMaxPacketSize;
      pipe.EndpointAddress = endpoint->descriptor.bEndpointAddress;
      pipe.Interval = endpoint->descriptor.bInterval;
      pipe.PipeType =
          static_cast<USBD_PIPE_TYPE>(endpoint->descriptor.bmAttributes & USB_ENDPOINT_TYPE_MASK);
      pipe.PipeHandle = endpoint;
      pipe.MaximumTransferSize = endpoint->maximumTransferSize;
      pipes.push_back(pipe);
    }
    configured_ = true;
    PumpLocked(done);
  }
  CompleteLater(std::move(done));
  return pipes;
}

}  // namespace kmodel::usb
