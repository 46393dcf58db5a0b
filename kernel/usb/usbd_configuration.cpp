#include "kernel/usb/usbd_configuration.h"

#include <algorithm>
#include <string>

#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

namespace {

// The tag of blocks the USB stack allocates for its clients.
constexpr ULONG kUsbStackTag = MakePoolTag('K', 'u', 's', 'b');

bool Matches(LONG wanted, UCHAR actual) {
  return wanted == -1 || wanted == actual;
}

PVOID AllocateForClient(SIZE_T size) {
  kmodel::KernelState& state = kmodel::State();
  if (state.faults.ShouldFail(kmodel::AllocationKind::NonPagedPool)) return nullptr;
  const kmodel::Frame* frame = kmodel::InnermostFrame();
  return state.pool.Allocate(NonPagedPool, size, kUsbStackTag, true,
                             frame ? kmodel::DescribeFrame(*frame) : std::string());
}

}  // namespace

PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR configurationDescriptor, PVOID startPosition,
    LONG interfaceNumber, LONG alternateSetting, LONG interfaceClass, LONG interfaceSubClass,
    LONG interfaceProtocol) {
  auto* begin = reinterpret_cast<PUCHAR>(configurationDescriptor);
  PUCHAR end = begin + configurationDescriptor->wTotalLength;
  auto* at = static_cast<PUCHAR>(startPosition);
  if (at < begin) return nullptr;
  while (at + sizeof(USB_COMMON_DESCRIPTOR) <= end) {
    auto* common = reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(at);
    // A zero length would never move on; a descriptor past the end is not whole.
    if (common->bLength == 0 || at + common->bLength > end) return nullptr;
    if (common->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE &&
        common->bLength >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
      auto* found = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(at);
      if (Matches(interfaceNumber, found->bInterfaceNumber) &&
          Matches(alternateSetting, found->bAlternateSetting) &&
          Matches(interfaceClass, found->bInterfaceClass) &&
          Matches(interfaceSubClass, found->bInterfaceSubClass) &&
          Matches(interfaceProtocol, found->bInterfaceProtocol)) {
        return found;
      }
    }
    at += common->bLength;
  }
  return nullptr;
}

PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR configurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY interfaceList) {
  SIZE_T size = offsetof(_URB_SELECT_CONFIGURATION, Interface);
  for (PUSBD_INTERFACE_LIST_ENTRY entry = interfaceList; entry->InterfaceDescriptor; ++entry) {
    size += GET_USBD_INTERFACE_SIZE(entry->InterfaceDescriptor->bNumEndpoints);
  }
  // A select-configuration URB is never shorter than its declared layout, so that
  // every member of it can be read even with no interface at all.
  SIZE_T allocated = std::max(size, sizeof(URB));
  auto* urb = static_cast<PURB>(AllocateForClient(allocated));
  if (!urb) return nullptr;
  RtlZeroMemory(urb, allocated);
  urb->UrbHeader.Length = static_cast<USHORT>(size);
  urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
  urb->UrbSelectConfiguration.ConfigurationDescriptor = configurationDescriptor;
  auto* next = reinterpret_cast<PUCHAR>(&urb->UrbSelectConfiguration.Interface);
  for (PUSBD_INTERFACE_LIST_ENTRY entry = interfaceList; entry->InterfaceDescriptor; ++entry) {
    PUSB_INTERFACE_DESCRIPTOR descriptor = entry->InterfaceDescriptor;
    auto* record = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(next);
    record->Length = GET_USBD_INTERFACE_SIZE(descriptor->bNumEndpoints);
    record->InterfaceNumber = descriptor->bInterfaceNumber;
    record->AlternateSetting = descriptor->bAlternateSetting;
    record->NumberOfPipes = descriptor->bNumEndpoints;
    for (ULONG i = 0; i < record->NumberOfPipes; ++i) {
      UsbdPipeAt(record, i)->MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
    }
    entry->Interface = record;
    next += record->Length;
  }
  return urb;
}
