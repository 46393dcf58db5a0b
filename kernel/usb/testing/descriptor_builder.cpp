#include "kernel/usb/testing/descriptor_builder.h"

namespace kmodel::usb {
namespace {

constexpr USHORT kUsb20 = 0x0200;
constexpr UCHAR kBusPowered = 0x80;
// In units of 2 mA: 100 mA.
constexpr UCHAR kMaxPower = 50;

void PutShort(std::vector<uint8_t>& bytes, USHORT value) {
  bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

std::vector<uint8_t> DeviceDescriptorBytes(USHORT vendorId, USHORT productId,
                                           UCHAR maxPacketSize0) {
  std::vector<uint8_t> bytes{sizeof(USB_DEVICE_DESCRIPTOR), USB_DEVICE_DESCRIPTOR_TYPE};
  PutShort(bytes, kUsb20);
  bytes.insert(bytes.end(), {0, 0, 0, maxPacketSize0});
  PutShort(bytes, vendorId);
  PutShort(bytes, productId);
  PutShort(bytes, 0x0100);
  // No strings; one configuration.
  bytes.insert(bytes.end(), {0, 0, 0, 1});
  return bytes;
}

ConfigurationBuilder& ConfigurationBuilder::Interface(UCHAR number, UCHAR alternateSetting,
                                                      UCHAR interfaceClass, UCHAR subClass,
                                                      UCHAR protocol) {
  Part part;
  part.isInterface = true;
  part.bytes = {sizeof(USB_INTERFACE_DESCRIPTOR),
                USB_INTERFACE_DESCRIPTOR_TYPE,
                number,
                alternateSetting,
                0,
                interfaceClass,
                subClass,
                protocol,
                0};
  parts_.push_back(std::move(part));
  return *this;
}

ConfigurationBuilder& ConfigurationBuilder::Endpoint(UCHAR address, UCHAR type,
                                                     USHORT maxPacketSize, UCHAR interval) {
  for (auto it = parts_.rbegin(); it != parts_.rend(); ++it) {
    if (it->isInterface) {
      ++it->endpoints;
      break;
    }
  }
  Part part;
  part.bytes = {sizeof(USB_ENDPOINT_DESCRIPTOR), USB_ENDPOINT_DESCRIPTOR_TYPE, address, type};
  PutShort(part.bytes, maxPacketSize);
  part.bytes.push_back(interval);
  parts_.push_back(std::move(part));
  return *this;
}

ConfigurationBuilder& ConfigurationBuilder::Raw(std::vector<uint8_t> bytes) {
  Part part;
  part.bytes = std::move(bytes);
  parts_.push_back(std::move(part));
  return *this;
}

ConfigurationBuilder& ConfigurationBuilder::TotalLength(USHORT value) {
  totalLength_ = value;
  return *this;
}

ConfigurationBuilder& ConfigurationBuilder::InterfaceCount(UCHAR value) {
  interfaceCount_ = value;
  return *this;
}

ConfigurationBuilder& ConfigurationBuilder::EndpointCount(UCHAR value) {
  for (auto it = parts_.rbegin(); it != parts_.rend(); ++it) {
    if (it->isInterface) {
      it->endpointCount = value;
      break;
    }
  }
  return *this;
}

std::vector<uint8_t> ConfigurationBuilder::Build() const {
  std::vector<uint8_t> body;
  UCHAR interfaces = 0;
  for (const Part& part : parts_) {
    size_t at = body.size();
    body.insert(body.end(), part.bytes.begin(), part.bytes.end());
    if (!part.isInterface) continue;
    // Alternate settings are further descriptors of an interface already counted.
    if (part.bytes[3] == 0) ++interfaces;
    body[at + 4] = part.endpointCount.value_or(part.endpoints);
  }
  std::vector<uint8_t> bytes{sizeof(USB_CONFIGURATION_DESCRIPTOR),
                             USB_CONFIGURATION_DESCRIPTOR_TYPE};
  PutShort(bytes, totalLength_.value_or(
                      static_cast<USHORT>(sizeof(USB_CONFIGURATION_DESCRIPTOR) + body.size())));
  bytes.insert(bytes.end(), {interfaceCount_.value_or(interfaces), 1, 0, kBusPowered, kMaxPower});
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

DeviceDescription PanelDescription(USHORT vendorId, USHORT productId) {
  return {DeviceDescriptorBytes(vendorId, productId),
          ConfigurationBuilder()
              .Interface(0)
              .Endpoint(kPanelBulkIn, USB_ENDPOINT_TYPE_BULK, kPanelMaxPacket)
              .Endpoint(kPanelBulkOut, USB_ENDPOINT_TYPE_BULK, kPanelMaxPacket)
              .Build()};
}

}  // namespace kmodel::usb
