#pragma once
// The standard USB descriptors as they lie on the wire: little-endian, unpadded,
// so a descriptor read from a device can be used in place.

#include "kernel/base_types.h"

inline constexpr UCHAR USB_DEVICE_DESCRIPTOR_TYPE = 0x01;
inline constexpr UCHAR USB_CONFIGURATION_DESCRIPTOR_TYPE = 0x02;
inline constexpr UCHAR USB_STRING_DESCRIPTOR_TYPE = 0x03;
inline constexpr UCHAR USB_INTERFACE_DESCRIPTOR_TYPE = 0x04;
inline constexpr UCHAR USB_ENDPOINT_DESCRIPTOR_TYPE = 0x05;

// Bit 7 of an endpoint address: set for IN (device to host).
inline constexpr UCHAR USB_ENDPOINT_DIRECTION_MASK = 0x80;
// Bits 0-1 of an endpoint's bmAttributes.
inline constexpr UCHAR USB_ENDPOINT_TYPE_MASK = 0x03;
inline constexpr UCHAR USB_ENDPOINT_TYPE_CONTROL = 0x00;
inline constexpr UCHAR USB_ENDPOINT_TYPE_ISOCHRONOUS = 0x01;
inline constexpr UCHAR USB_ENDPOINT_TYPE_BULK = 0x02;
inline constexpr UCHAR USB_ENDPOINT_TYPE_INTERRUPT = 0x03;

// Feature selector of SET_FEATURE / CLEAR_FEATURE to an endpoint: ENDPOINT_HALT.
inline constexpr USHORT USB_FEATURE_ENDPOINT_STALL = 0x0000;

constexpr bool USB_ENDPOINT_DIRECTION_IN(UCHAR address) {
  return (address & USB_ENDPOINT_DIRECTION_MASK) != 0;
}
constexpr bool USB_ENDPOINT_DIRECTION_OUT(UCHAR address) {
  return (address & USB_ENDPOINT_DIRECTION_MASK) == 0;
}

#pragma pack(push, 1)

// The two bytes every descriptor starts with.
struct USB_COMMON_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
};

struct USB_DEVICE_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT bcdUSB;
  UCHAR bDeviceClass;
  UCHAR bDeviceSubClass;
  UCHAR bDeviceProtocol;
  UCHAR bMaxPacketSize0;
  USHORT idVendor;
  USHORT idProduct;
  USHORT bcdDevice;
  UCHAR iManufacturer;
  UCHAR iProduct;
  UCHAR iSerialNumber;
  UCHAR bNumConfigurations;
};

// Followed, within wTotalLength bytes, by the interface, endpoint and other
// descriptors of the configuration.
struct USB_CONFIGURATION_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT wTotalLength;
  UCHAR bNumInterfaces;
  UCHAR bConfigurationValue;
  UCHAR iConfiguration;
  UCHAR bmAttributes;
  UCHAR MaxPower;
};

struct USB_INTERFACE_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  UCHAR bInterfaceNumber;
  UCHAR bAlternateSetting;
  UCHAR bNumEndpoints;
  UCHAR bInterfaceClass;
  UCHAR bInterfaceSubClass;
  UCHAR bInterfaceProtocol;
  UCHAR iInterface;
};

struct USB_ENDPOINT_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  UCHAR bEndpointAddress;
  UCHAR bmAttributes;
  USHORT wMaxPacketSize;
  UCHAR bInterval;
};

#pragma pack(pop)

static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);

using PUSB_COMMON_DESCRIPTOR = USB_COMMON_DESCRIPTOR*;
using PUSB_DEVICE_DESCRIPTOR = USB_DEVICE_DESCRIPTOR*;
using PUSB_CONFIGURATION_DESCRIPTOR = USB_CONFIGURATION_DESCRIPTOR*;
using PUSB_INTERFACE_DESCRIPTOR = USB_INTERFACE_DESCRIPTOR*;
using PUSB_ENDPOINT_DESCRIPTOR = USB_ENDPOINT_DESCRIPTOR*;
