// Finding interfaces in a configuration descriptor and building the request that
// selects them.
#include "kernel/usb/usbd_configuration.h"

#include <gtest/gtest.h>

#include <vector>

#include "kernel/pool.h"
#include "kernel/testing/kernel_model.h"
#include "kernel/usb/testing/descriptor_builder.h"

namespace {

using kmodel::usb::ConfigurationBuilder;

PUSB_CONFIGURATION_DESCRIPTOR AsConfiguration(std::vector<uint8_t>& bytes) {
  return reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
}

// A list entry for interface number at alternate setting 0.
USBD_INTERFACE_LIST_ENTRY EntryFor(PUSB_CONFIGURATION_DESCRIPTOR config, LONG number) {
  return {USBD_ParseConfigurationDescriptorEx(config, config, number, 0, -1, -1, -1), nullptr};
}

// Interface 0 (vendor class, two endpoints and a class-specific descriptor between
// them), its alternate setting 1, and interface 1 (class 2, no endpoints).
std::vector<uint8_t> TwoInterfaces() {
  return ConfigurationBuilder()
      .Interface(0)
      .Endpoint(0x81)
      .Raw({5, 0x24, 0, 0x10, 0x01})
      .Endpoint(0x02)
      .Interface(0, 1)
      .Endpoint(0x83, USB_ENDPOINT_TYPE_INTERRUPT, 8, 10)
      .Interface(1, 0, 2, 2, 1)
      .Build();
}

TEST(ParseConfigurationDescriptorTest, FindsTheFirstInterfaceMatchingEveryGivenCriterion) {
  std::vector<uint8_t> bytes = TwoInterfaces();
  PUSB_CONFIGURATION_DESCRIPTOR config = AsConfiguration(bytes);
  struct Row {
    LONG number, alternate, cls, subClass, protocol;
    // Offset of the interface descriptor expected, or -1 for none.
    long offset;
  };
  const long first = 9, alternate = 9 + 9 + 7 + 5 + 7, second = alternate + 9 + 7;
  const Row rows[] = {
      {0, 0, -1, -1, -1, first},   {0, 1, -1, -1, -1, alternate}, {1, -1, -1, -1, -1, second},
      {-1, -1, 2, -1, -1, second}, {-1, -1, 0xFF, -1, -1, first}, {1, 0, 2, 2, 1, second},
      {1, 0, 2, 2, 0, -1},         {2, -1, -1, -1, -1, -1},       {-1, 1, 0xFF, -1, -1, alternate},
  };
  for (const Row& row : rows) {
    PUSB_INTERFACE_DESCRIPTOR found = USBD_ParseConfigurationDescriptorEx(
        config, config, row.number, row.alternate, row.cls, row.subClass, row.protocol);
    long offset = found ? reinterpret_cast<PUCHAR>(found) - bytes.data() : -1;
    EXPECT_EQ(offset, row.offset) << "interface " << row.number << " alternate " << row.alternate
                                  << " class " << row.cls;
  }
}

TEST(ParseConfigurationDescriptorTest, SearchesFromTheStartPositionOn) {
  std::vector<uint8_t> bytes = TwoInterfaces();
  PUSB_CONFIGURATION_DESCRIPTOR config = AsConfiguration(bytes);
  PUSB_INTERFACE_DESCRIPTOR first =
      USBD_ParseConfigurationDescriptorEx(config, config, 0, -1, -1, -1, -1);
  ASSERT_NE(first, nullptr);
  PUSB_INTERFACE_DESCRIPTOR next = USBD_ParseConfigurationDescriptorEx(
      config, reinterpret_cast<PUCHAR>(first) + first->bLength, 0, -1, -1, -1, -1);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->bAlternateSetting, 1);
}

TEST(ParseConfigurationDescriptorTest, StopsAtMalformedDescriptorsInsteadOfRunningOn) {
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      // A zero length would never move on to the interface behind it.
      {"a descriptor of length 0", ConfigurationBuilder().Raw({0, 0x24}).Interface(0).Build()},
      // The interface lies beyond wTotalLength.
      {"a total length that ends before the interface",
       ConfigurationBuilder().Interface(0).TotalLength(9).Build()},
      {"an interface descriptor cut by the total length",
       ConfigurationBuilder().Interface(0).TotalLength(9 + 8).Build()},
      {"an interface descriptor too short to be one",
       ConfigurationBuilder().Raw({4, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0}).Build()},
  };
  for (Row row : rows) {
    PUSB_CONFIGURATION_DESCRIPTOR config = AsConfiguration(row.bytes);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(config, config, -1, -1, -1, -1, -1), nullptr)
        << row.what;
  }
}

TEST(CreateConfigurationRequestTest, LaysOutOneRecordPerInterfaceAndPointsTheListAtThem) {
  kmodel::Kernel kernel;
  std::vector<uint8_t> bytes = TwoInterfaces();
  PUSB_CONFIGURATION_DESCRIPTOR config = AsConfiguration(bytes);
  USBD_INTERFACE_LIST_ENTRY list[] = {EntryFor(config, 0), EntryFor(config, 1), {}};
  PURB urb = USBD_CreateConfigurationRequestEx(config, list);
  ASSERT_NE(urb, nullptr);
  const size_t twoPipes = sizeof(USBD_INTERFACE_INFORMATION) + sizeof(USBD_PIPE_INFORMATION);
  const size_t noPipes = sizeof(USBD_INTERFACE_INFORMATION);
  EXPECT_EQ(urb->UrbHeader.Function, URB_FUNCTION_SELECT_CONFIGURATION);
  EXPECT_EQ(urb->UrbHeader.Length,
            offsetof(_URB_SELECT_CONFIGURATION, Interface) + twoPipes + noPipes);
  EXPECT_EQ(urb->UrbSelectConfiguration.ConfigurationDescriptor, config);
  ASSERT_EQ(list[0].Interface, &urb->UrbSelectConfiguration.Interface);
  ASSERT_EQ(reinterpret_cast<PUCHAR>(list[1].Interface),
            reinterpret_cast<PUCHAR>(list[0].Interface) + twoPipes);
  EXPECT_EQ(list[0].Interface->Length, twoPipes);
  EXPECT_EQ(list[0].Interface->InterfaceNumber, 0);
  EXPECT_EQ(list[0].Interface->NumberOfPipes, 2u);
  for (ULONG i = 0; i < 2; ++i) {
    EXPECT_EQ(UsbdPipeAt(list[0].Interface, i)->MaximumTransferSize,
              USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE);
    EXPECT_EQ(UsbdPipeAt(list[0].Interface, i)->PipeFlags, 0u);
    EXPECT_EQ(UsbdPipeAt(list[0].Interface, i)->PipeHandle, nullptr);
  }
  EXPECT_EQ(list[1].Interface->Length, noPipes);
  EXPECT_EQ(list[1].Interface->InterfaceNumber, 1);
  EXPECT_EQ(list[1].Interface->NumberOfPipes, 0u);
  std::vector<kmodel::PoolBlock> blocks = kernel.PoolBlocks();
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].type, NonPagedPool);
  ExFreePool(urb);
}

TEST(CreateConfigurationRequestTest, AnExhaustedPoolGivesNoRequest) {
  kmodel::Kernel kernel;
  std::vector<uint8_t> bytes = TwoInterfaces();
  PUSB_CONFIGURATION_DESCRIPTOR config = AsConfiguration(bytes);
  USBD_INTERFACE_LIST_ENTRY list[] = {EntryFor(config, 0), {}};
  kernel.Faults().FailNth(1);
  EXPECT_EQ(USBD_CreateConfigurationRequestEx(config, list), nullptr);
  EXPECT_EQ(list[0].Interface, nullptr);
}

}  // namespace
