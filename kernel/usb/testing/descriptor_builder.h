#pragma once
// Descriptors for simulated devices: a device descriptor from its identifiers, and a
// configuration descriptor assembled from interfaces, endpoints and raw extra
// descriptors. Counts and the total length are worked out from the parts unless a
// malformed variant sets them to something else.
//
//   std::vector<uint8_t> configuration = ConfigurationBuilder()
//       .Interface(0).Endpoint(0x81).Endpoint(0x02)
//       .Build();

#include <cstdint>
#include <optional>
#include <vector>

#include "kernel/usb/usb_descriptors.h"

namespace kmodel::usb {

inline constexpr UCHAR kVendorSpecificClass = 0xFF;

std::vector<uint8_t> DeviceDescriptorBytes(USHORT vendorId, USHORT productId,
                                           UCHAR maxPacketSize0 = 64);

class ConfigurationBuilder {
 public:
  // Starts an interface; the endpoints added after it are its own.
  ConfigurationBuilder& Interface(UCHAR number, UCHAR alternateSetting = 0,
                                  UCHAR interfaceClass = kVendorSpecificClass, UCHAR subClass = 0,
                                  UCHAR protocol = 0);
  ConfigurationBuilder& Endpoint(UCHAR address, UCHAR type = USB_ENDPOINT_TYPE_BULK,
                                 USHORT maxPacketSize = 64, UCHAR interval = 0);
  // Bytes that go in as they stand: a class-specific descriptor, one of length 0,
  // a truncated one.
  ConfigurationBuilder& Raw(std::vector<uint8_t> bytes);

  // Malformed variants.
  ConfigurationBuilder& TotalLength(USHORT value);
  ConfigurationBuilder& InterfaceCount(UCHAR value);
  // bNumEndpoints of the interface added last.
  ConfigurationBuilder& EndpointCount(UCHAR value);

  std::vector<uint8_t> Build() const;

 private:
  struct Part {
    std::vector<uint8_t> bytes;
    // Interface descriptors: endpoints counted after it, or the value set.
    bool isInterface = false;
    UCHAR endpoints = 0;
    std::optional<UCHAR> endpointCount;
  };

  std::vector<Part> parts_;
  std::optional<USHORT> totalLength_;
  std::optional<UCHAR> interfaceCount_;
};

struct DeviceDescription {
  std::vector<uint8_t> device;
  std::vector<uint8_t> configuration;
};

// The panel's USB face: one vendor-specific interface with a bulk-IN and a
// bulk-OUT endpoint of 64-byte packets, carrying the serial byte stream raw.
inline constexpr UCHAR kPanelBulkIn = 0x81;
inline constexpr UCHAR kPanelBulkOut = 0x02;
inline constexpr USHORT kPanelMaxPacket = 64;
DeviceDescription PanelDescription(USHORT vendorId, USHORT productId);

}  // namespace kmodel::usb
