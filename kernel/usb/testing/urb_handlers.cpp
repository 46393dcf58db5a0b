// What the simulated device does with each URB function, and how it describes
// them in its log.
#include <algorithm>
#include <cstdio>

#include "kernel/usb/testing/usb_device.h"

namespace kmodel::usb {
namespace {

struct Layout {
  USHORT function;
  size_t minimumLength;
};

// The functions the device answers and the least header length each needs.
constexpr Layout kLayouts[] = {
    {URB_FUNCTION_SELECT_CONFIGURATION, offsetof(_URB_SELECT_CONFIGURATION, Interface)},
    {URB_FUNCTION_ABORT_PIPE, sizeof(_URB_PIPE_REQUEST)},
    {URB_FUNCTION_RESET_PIPE, sizeof(_URB_PIPE_REQUEST)},
    {URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER)},
    {URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST)},
    {URB_FUNCTION_SET_FEATURE_TO_ENDPOINT, sizeof(_URB_CONTROL_FEATURE_REQUEST)},
};

const Layout* LayoutOf(USHORT function) {
  for (const Layout& layout : kLayouts) {
    if (layout.function == function) return &layout;
  }
  return nullptr;
}

bool LongEnough(PURB urb) {
  const Layout* layout = LayoutOf(urb->UrbHeader.Function);
  return layout && urb->UrbHeader.Length >= layout->minimumLength;
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

// Interface records of a select-configuration URB that lie whole inside it.
std::vector<PUSBD_INTERFACE_INFORMATION> Records(PURB urb) {
  std::vector<PUSBD_INTERFACE_INFORMATION> records;
  size_t length = urb->UrbHeader.Length;
  size_t offset = offsetof(_URB_SELECT_CONFIGURATION, Interface);
  while (offset < length && length - offset >= sizeof(USBD_INTERFACE_INFORMATION)) {
    auto* record =
        reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(reinterpret_cast<PUCHAR>(urb) + offset);
    if (record->Length < GET_USBD_INTERFACE_SIZE(record->NumberOfPipes) ||
        record->Length > length - offset) {
      break;
    }
    records.push_back(record);
    offset += record->Length;
  }
  return records;
}

// Whether every byte of the request is taken up by whole interface records.
bool RecordsFill(PURB urb, const std::vector<PUSBD_INTERFACE_INFORMATION>& records) {
  size_t used = offsetof(_URB_SELECT_CONFIGURATION, Interface);
  for (PUSBD_INTERFACE_INFORMATION record : records) used += record->Length;
  return used == urb->UrbHeader.Length;
}

}  // namespace

const UsbDevice::Endpoint* UsbDevice::EndpointOfHandle(USBD_PIPE_HANDLE handle) const {
  for (const std::unique_ptr<Endpoint>& endpoint : endpoints_) {
    if (endpoint.get() == handle) return endpoint.get();
  }
  return nullptr;
}

std::optional<UCHAR> UsbDevice::EndpointOfUrbLocked(PURB urb) const {
  if (!LongEnough(urb)) return std::nullopt;
  USBD_PIPE_HANDLE handle;
  switch (urb->UrbHeader.Function) {
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_RESET_PIPE:
      handle = urb->UrbPipeRequest.PipeHandle;
      break;
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
      handle = urb->UrbBulkOrInterruptTransfer.PipeHandle;
      break;
    case URB_FUNCTION_SET_FEATURE_TO_ENDPOINT:
      if (urb->UrbControlFeatureRequest.Index > 0xFF) return std::nullopt;
      return static_cast<UCHAR>(urb->UrbControlFeatureRequest.Index);
    default:
      return std::nullopt;
  }
  const Endpoint* endpoint = EndpointOfHandle(handle);
  if (!endpoint) return std::nullopt;
  return endpoint->descriptor.bEndpointAddress;
}

LoggedUrb UsbDevice::Describe(PURB urb) const {
  LoggedUrb entry;
  entry.function = urb->UrbHeader.Function;
  entry.endpoint = EndpointOfUrbLocked(urb);
  std::string text = FunctionName(entry.function);
  if (LayoutOf(entry.function) && !LongEnough(urb)) {
    entry.request = text + " (header length " + std::to_string(urb->UrbHeader.Length) + ")";
    return entry;
  }
  std::string pipe = entry.endpoint ? Hex(*entry.endpoint) : "pipe ?";
  switch (entry.function) {
    case URB_FUNCTION_SELECT_CONFIGURATION:
      text += urb->UrbSelectConfiguration.ConfigurationDescriptor
                  ? " interfaces " + std::to_string(Records(urb).size())
                  : " none";
      break;
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE: {
      const _URB_CONTROL_DESCRIPTOR_REQUEST& request = urb->UrbControlDescriptorRequest;
      text += " type " + std::to_string(request.DescriptorType) + " index " +
              std::to_string(request.Index) + " language " + std::to_string(request.LanguageId) +
              " length " + std::to_string(request.TransferBufferLength);
      break;
    }
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: {
      const _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = urb->UrbBulkOrInterruptTransfer;
      bool in = (transfer.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
      text += " " + pipe + (in ? " in" : " out") + " length " +
              std::to_string(transfer.TransferBufferLength) + " flags " +
              Hex(transfer.TransferFlags);
      if (!in && transfer.TransferBuffer) {
        auto* bytes = static_cast<const uint8_t*>(transfer.TransferBuffer);
        entry.data.assign(bytes, bytes + transfer.TransferBufferLength);
      }
      break;
    }
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_RESET_PIPE:
      text += " " + pipe;
      break;
    case URB_FUNCTION_SET_FEATURE_TO_ENDPOINT:
      text += " feature " + std::to_string(urb->UrbControlFeatureRequest.FeatureSelector) +
              " index " + Hex(urb->UrbControlFeatureRequest.Index);
      break;
    default:
      break;
  }
  entry.request = text;
  return entry;
}

bool UsbDevice::ExecuteLocked(const Submitted& urb, DoneList& done) {
  PURB block = UrbOf(urb.irp);
  if (!LayoutOf(block->UrbHeader.Function)) {
    FinishLocked(urb, done, STATUS_NOT_SUPPORTED, USBD_STATUS_INVALID_URB_FUNCTION);
    return false;
  }
  if (!LongEnough(block)) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PARAMETER);
    return false;
  }
  switch (block->UrbHeader.Function) {
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
      return TransferLocked(urb, done);
    case URB_FUNCTION_SELECT_CONFIGURATION:
      SelectConfigurationLocked(urb, done);
      break;
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
      GetDescriptorLocked(urb, done);
      break;
    case URB_FUNCTION_ABORT_PIPE:
      AbortLocked(urb, done);
      break;
    case URB_FUNCTION_RESET_PIPE:
      ResetPipeLocked(urb, done);
      break;
    default:
      SetFeatureLocked(urb, done);
      break;
  }
  return false;
}

bool UsbDevice::TransferLocked(const Submitted& urb, DoneList& done) {
  const _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = UrbOf(urb.irp)->UrbBulkOrInterruptTransfer;
  const Endpoint* endpoint = EndpointOfHandle(transfer.PipeHandle);
  if (!endpoint) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PIPE_HANDLE);
    return false;
  }
  UCHAR address = endpoint->descriptor.bEndpointAddress;
  UCHAR type = endpoint->descriptor.bmAttributes & USB_ENDPOINT_TYPE_MASK;
  bool in = USB_ENDPOINT_DIRECTION_IN(address);
  // Buffers described by MDLs and chained URBs are not modelled.
  bool malformed = (type != USB_ENDPOINT_TYPE_BULK && type != USB_ENDPOINT_TYPE_INTERRUPT) ||
                   ((transfer.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0) != in ||
                   transfer.TransferBufferMDL || transfer.UrbLink ||
                   (!transfer.TransferBuffer && transfer.TransferBufferLength) ||
                   transfer.TransferBufferLength > endpoint->maximumTransferSize;
  if (malformed) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PARAMETER);
    return false;
  }
  if (halted_.count(address)) {
    FinishLocked(urb, done, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID);
    return false;
  }
  if (in) {
    PendLocked(urb, QueueOf(address), done);
    return true;
  }
  std::span<const uint8_t> bytes(static_cast<const uint8_t*>(transfer.TransferBuffer),
                                 transfer.TransferBufferLength);
  outBytes_.insert(outBytes_.end(), bytes.begin(), bytes.end());
  if (peer_) {
    peer_->Receive(bytes);
    PollPeerLocked();
  }
  FinishLocked(urb, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS, transfer.TransferBufferLength);
  return false;
}

std::vector<UsbDevice::Endpoint*> UsbDevice::ConfigureLocked(
    const std::vector<const ParsedInterface*>& interfaces, DoneList& done) {
  for (auto& [address, queue] : pending_) {
    FailQueueLocked(queue, {}, STATUS_CANCELLED, USBD_STATUS_CANCELED, done);
  }
  for (std::unique_ptr<Endpoint>& endpoint : endpoints_) retired_.push_back(std::move(endpoint));
  endpoints_.clear();
  halted_.clear();
  std::vector<Endpoint*> created;
  for (const ParsedInterface* parsed : interfaces) {
    for (const USB_ENDPOINT_DESCRIPTOR& descriptor : parsed->endpoints) {
      endpoints_.push_back(
          std::make_unique<Endpoint>(Endpoint{descriptor, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE}));
      created.push_back(endpoints_.back().get());
    }
  }
  return created;
}

void UsbDevice::SelectConfigurationLocked(const Submitted& urb, DoneList& done) {
  PURB block = UrbOf(urb.irp);
  _URB_SELECT_CONFIGURATION& select = block->UrbSelectConfiguration;
  if (!select.ConfigurationDescriptor) {
    ConfigureLocked({}, done);
    configured_ = false;
    FinishLocked(urb, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS);
    return;
  }
  // Every record is checked before anything changes.
  std::vector<PUSBD_INTERFACE_INFORMATION> records = Records(block);
  std::vector<const ParsedInterface*> chosen;
  for (PUSBD_INTERFACE_INFORMATION record : records) {
    auto parsed = std::find_if(interfaces_.begin(), interfaces_.end(), [&](const auto& p) {
      return p.descriptor.bInterfaceNumber == record->InterfaceNumber &&
             p.descriptor.bAlternateSetting == record->AlternateSetting;
    });
    if (parsed == interfaces_.end() || record->NumberOfPipes != parsed->endpoints.size()) break;
    chosen.push_back(&*parsed);
  }
  if (chosen.size() != records.size() || !RecordsFill(block, records)) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PARAMETER);
    return;
  }
  std::vector<Endpoint*> created = ConfigureLocked(chosen, done);
  size_t next = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    PUSBD_INTERFACE_INFORMATION record = records[i];
    const USB_INTERFACE_DESCRIPTOR& descriptor = chosen[i]->descriptor;
    record->Class = descriptor.bInterfaceClass;
    record->SubClass = descriptor.bInterfaceSubClass;
    record->Protocol = descriptor.bInterfaceProtocol;
    record->InterfaceHandle = const_cast<ParsedInterface*>(chosen[i]);
    for (ULONG p = 0; p < record->NumberOfPipes; ++p) {
      Endpoint* endpoint = created[next++];
      PUSBD_PIPE_INFORMATION pipe = UsbdPipeAt(record, p);
      endpoint->maximumTransferSize = pipe->MaximumTransferSize;
      pipe->MaximumPacketSize = endpoint->descriptor.wMaxPacketSize;
      pipe->EndpointAddress = endpoint->descriptor.bEndpointAddress;
      pipe->Interval = endpoint->descriptor.bInterval;
      pipe->PipeType =
          static_cast<USBD_PIPE_TYPE>(endpoint->descriptor.bmAttributes & USB_ENDPOINT_TYPE_MASK);
      pipe->PipeHandle = endpoint;
    }
  }
  select.ConfigurationHandle = &configurationToken_;
  configured_ = true;
  FinishLocked(urb, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS);
}

void UsbDevice::GetDescriptorLocked(const Submitted& urb, DoneList& done) {
  _URB_CONTROL_DESCRIPTOR_REQUEST& request = UrbOf(urb.irp)->UrbControlDescriptorRequest;
  if (request.TransferBufferMDL || request.UrbLink ||
      (!request.TransferBuffer && request.TransferBufferLength)) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PARAMETER);
    return;
  }
  const std::vector<uint8_t>* bytes = nullptr;
  if (request.Index == 0 && request.DescriptorType == USB_DEVICE_DESCRIPTOR_TYPE) {
    bytes = &description_.device;
  } else if (request.Index == 0 && request.DescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE) {
    bytes = &description_.configuration;
  }
  // The device answers a request for a descriptor it does not have with STALL.
  if (!bytes) {
    FinishLocked(urb, done, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID);
    return;
  }
  ULONG count = std::min<ULONG>(request.TransferBufferLength, static_cast<ULONG>(bytes->size()));
  std::copy_n(bytes->begin(), count, static_cast<uint8_t*>(request.TransferBuffer));
  request.TransferBufferLength = count;
  FinishLocked(urb, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS, count);
}

void UsbDevice::AbortLocked(const Submitted& urb, DoneList& done) {
  const Endpoint* endpoint = EndpointOfHandle(UrbOf(urb.irp)->UrbPipeRequest.PipeHandle);
  if (!endpoint) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PIPE_HANDLE);
    return;
  }
  UCHAR address = endpoint->descriptor.bEndpointAddress;
  // The pipe's transfers complete first, then the abort itself.
  FailQueueLocked(QueueOf(address), {}, STATUS_CANCELLED, USBD_STATUS_CANCELED, done);
  FailQueueLocked(held_, address, STATUS_CANCELLED, USBD_STATUS_CANCELED, done);
  FinishLocked(urb, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS);
}

void UsbDevice::ResetPipeLocked(const Submitted& urb, DoneList& done) {
  const Endpoint* endpoint = EndpointOfHandle(UrbOf(urb.irp)->UrbPipeRequest.PipeHandle);
  if (!endpoint) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PIPE_HANDLE);
    return;
  }
  halted_.erase(endpoint->descriptor.bEndpointAddress);
  FinishLocked(urb, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS);
}

void UsbDevice::SetFeatureLocked(const Submitted& urb, DoneList& done) {
  const _URB_CONTROL_FEATURE_REQUEST& request = UrbOf(urb.irp)->UrbControlFeatureRequest;
  if (request.UrbLink) {
    FinishLocked(urb, done, STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PARAMETER);
    return;
  }
  bool known = request.Index <= 0xFF &&
               std::any_of(endpoints_.begin(), endpoints_.end(), [&](const auto& endpoint) {
                 return endpoint->descriptor.bEndpointAddress == request.Index;
               });
  // Only ENDPOINT_HALT exists for endpoints; the device stalls anything else.
  if (request.FeatureSelector != USB_FEATURE_ENDPOINT_STALL || !known) {
    FinishLocked(urb, done, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID);
    return;
  }
  auto address = static_cast<UCHAR>(request.Index);
  halted_.insert(address);
  FailQueueLocked(QueueOf(address), {}, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID, done);
  FinishLocked(urb, done, STATUS_SUCCESS, USBD_STATUS_SUCCESS);
}

}  // namespace kmodel::usb
