#pragma once
// The USB driver interface's two configuration helpers: finding an interface
// descriptor inside a configuration descriptor, and building the URB that selects
// a configuration with a chosen set of interfaces.

#include "kernel/usb/urb.h"

// One interface to select: the descriptor in, the record in the URB out.
struct USBD_INTERFACE_LIST_ENTRY {
  PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor;
  PUSBD_INTERFACE_INFORMATION Interface;
};
using PUSBD_INTERFACE_LIST_ENTRY = USBD_INTERFACE_LIST_ENTRY*;

// Searches the descriptors from startPosition (the start of a descriptor inside the
// configuration descriptor) up to wTotalLength for the first interface descriptor
// that matches every criterion other than -1. Null when none does; the search also
// ends at a descriptor of length 0 or one that runs past wTotalLength.
PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR configurationDescriptor, PVOID startPosition,
    LONG interfaceNumber, LONG alternateSetting, LONG interfaceClass, LONG interfaceSubClass,
    LONG interfaceProtocol);

// Allocates from the non-paged pool and formats a select-configuration URB with one
// interface record per list entry (the list ends with a null InterfaceDescriptor):
// interface number, alternate setting and bNumEndpoints pipes, each pipe with the
// default maximum transfer size. Each entry's Interface then points at its record.
// Null when the pool is exhausted. The caller frees the URB with ExFreePool.
PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR configurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY interfaceList);
