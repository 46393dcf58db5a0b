// Device names, symbolic links and device interfaces.
#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel.h"
#include "kernel/testing/bus_driver.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/kernel_model.h"

namespace {

UNICODE_STRING Text(PCWSTR text) {
  UNICODE_STRING string;
  RtlInitUnicodeString(&string, text);
  return string;
}

NTSTATUS NoEntry(PDRIVER_OBJECT, PUNICODE_STRING) {
  return STATUS_SUCCESS;
}

TEST(ObjectNamespaceTest, DeviceNamesAreUniqueWithoutRegardToCase) {
  kmodel::Kernel kernel;
  PDRIVER_OBJECT driver = kmodel::LoadDriver(NoEntry, u"Names").driver;
  UNICODE_STRING name = Text(u"\\Device\\Mirecom1");
  UNICODE_STRING same = Text(u"\\DEVICE\\MIRECOM1");
  PDEVICE_OBJECT first;
  PDEVICE_OBJECT second;
  ASSERT_EQ(IoCreateDevice(driver, 0, &name, FILE_DEVICE_SERIAL_PORT, 0, TRUE, &first),
            STATUS_SUCCESS);
  EXPECT_EQ(first->Flags, DO_DEVICE_INITIALIZING | DO_EXCLUSIVE);
  EXPECT_EQ(first->StackSize, 1);
  EXPECT_EQ(IoCreateDevice(driver, 0, &same, FILE_DEVICE_SERIAL_PORT, 0, TRUE, &second),
            STATUS_OBJECT_NAME_COLLISION);
  EXPECT_EQ(second, nullptr);
  IoDeleteDevice(first);
  EXPECT_EQ(IoCreateDevice(driver, 0, &same, FILE_DEVICE_SERIAL_PORT, 0, TRUE, &second),
            STATUS_SUCCESS);
  IoDeleteDevice(second);
}

TEST(ObjectNamespaceTest, SymbolicLinksResolveToTheirDeviceAndDosDevicesIsTheGlobalDirectory) {
  kmodel::Kernel kernel;
  PDRIVER_OBJECT driver = kmodel::LoadDriver(NoEntry, u"Names").driver;
  UNICODE_STRING name = Text(u"\\Device\\Mirecom1");
  UNICODE_STRING link = Text(u"\\DosDevices\\COM5");
  UNICODE_STRING global = Text(u"\\??\\com5");
  PDEVICE_OBJECT device;
  ASSERT_EQ(IoCreateDevice(driver, 0, &name, FILE_DEVICE_SERIAL_PORT, 0, TRUE, &device),
            STATUS_SUCCESS);
  EXPECT_EQ(IoCreateSymbolicLink(&link, &name), STATUS_SUCCESS);
  EXPECT_EQ(IoCreateSymbolicLink(&global, &name), STATUS_OBJECT_NAME_COLLISION);
  EXPECT_EQ(kernel.Names().Resolve(u"\\??\\COM5"), device);
  EXPECT_EQ(IoDeleteSymbolicLink(&global), STATUS_SUCCESS);
  EXPECT_EQ(IoDeleteSymbolicLink(&link), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(kernel.Names().Resolve(u"\\??\\COM5"), nullptr);
  IoDeleteDevice(device);
}

TEST(ObjectNamespaceTest, AnInterfaceIsRegisteredOnceAndEnabledAndDisabledWithItsStatuses) {
  kmodel::Kernel kernel;
  kmodel::BusDriver bus;
  PDEVICE_OBJECT pdo = bus.CreatePdo(u"USB\\VID_1234&PID_0001\\1");
  const GUID comPort = {
      0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
  UNICODE_STRING first{};
  UNICODE_STRING again{};
  ASSERT_EQ(IoRegisterDeviceInterface(pdo, &comPort, nullptr, &first), STATUS_SUCCESS);
  ASSERT_EQ(IoRegisterDeviceInterface(pdo, &comPort, nullptr, &again), STATUS_SUCCESS);
  EXPECT_TRUE(RtlEqualUnicodeString(&first, &again, FALSE));
  EXPECT_EQ(std::u16string(first.Buffer, first.Length / 2),
            u"\\??\\USB#VID_1234&PID_0001#1#{86e0d1e0-8089-11d0-9ce4-08003e301f73}");
  EXPECT_EQ(IoSetDeviceInterfaceState(&first, TRUE), STATUS_SUCCESS);
  EXPECT_EQ(IoSetDeviceInterfaceState(&first, TRUE), STATUS_OBJECT_NAME_EXISTS);
  ASSERT_EQ(kernel.Names().Interfaces().size(), 1u);
  EXPECT_TRUE(kernel.Names().Interfaces()[0].enabled);
  EXPECT_EQ(IoSetDeviceInterfaceState(&first, FALSE), STATUS_SUCCESS);
  EXPECT_EQ(IoSetDeviceInterfaceState(&first, FALSE), STATUS_OBJECT_NAME_NOT_FOUND);
  RtlFreeUnicodeString(&first);
  RtlFreeUnicodeString(&again);
  EXPECT_EQ(first.Buffer, nullptr);
}

TEST(UnicodeStringTest, AppendingAndNumbersRespectTheBufferSize) {
  kmodel::Kernel kernel;
  WCHAR buffer[16];
  UNICODE_STRING text{0, sizeof buffer, buffer};
  EXPECT_EQ(RtlAppendUnicodeToString(&text, u"\\Device\\"), STATUS_SUCCESS);
  WCHAR digits[20];
  UNICODE_STRING number{0, sizeof digits, digits};
  EXPECT_EQ(RtlIntegerToUnicodeString(4294967295u, 10, &number), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(digits, number.Length / 2), u"4294967295");
  EXPECT_EQ(RtlAppendUnicodeStringToString(&text, &number), STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(text.Length, 16u);
  UNICODE_STRING three{0, sizeof digits, digits};
  RtlIntegerToUnicodeString(3, 10, &three);
  EXPECT_EQ(RtlAppendUnicodeStringToString(&text, &three), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(buffer), u"\\Device\\3");
}

}  // namespace
