// Registry services: query tables, value queries, device keys and the device map.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/kernel.h"
#include "kernel/model/registry_store.h"
#include "kernel/testing/bus_driver.h"
#include "kernel/testing/kernel_model.h"

namespace {

using kmodel::DwordValue;
using kmodel::StringValue;

const std::u16string kKey = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Probe";

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() { kernel_.Registry().CreateKey(kKey); }

  RTL_QUERY_REGISTRY_TABLE Direct(PCWSTR name, PVOID destination, ULONG flags = 0) {
    RTL_QUERY_REGISTRY_TABLE entry{};
    entry.Flags = RTL_QUERY_REGISTRY_DIRECT | flags;
    entry.Name = const_cast<PWSTR>(name);
    entry.EntryContext = destination;
    return entry;
  }
  NTSTATUS Query(std::vector<RTL_QUERY_REGISTRY_TABLE> table, ULONG relativeTo = 0,
                 const std::u16string& path = kKey) {
    table.push_back({});
    return RtlQueryRegistryValues(relativeTo, path.c_str(), table.data(), nullptr, nullptr);
  }

  kmodel::Kernel kernel_;
};

TEST_F(RegistryTest, MissingKeysAndSubkeysAreReportedUnlessTheKeyIsOptional) {
  ULONG value = 7;
  const std::u16string missing = kKey + u"Missing";
  EXPECT_EQ(Query({Direct(u"V", &value)}, RTL_REGISTRY_ABSOLUTE, missing),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(Query({Direct(u"V", &value)}, RTL_REGISTRY_ABSOLUTE | RTL_REGISTRY_OPTIONAL, missing),
            STATUS_SUCCESS);
  RTL_QUERY_REGISTRY_TABLE subkey{};
  subkey.Flags = RTL_QUERY_REGISTRY_SUBKEY;
  subkey.Name = const_cast<PWSTR>(u"Parameters");
  EXPECT_EQ(Query({subkey, Direct(u"V", &value)}, RTL_REGISTRY_ABSOLUTE | RTL_REGISTRY_OPTIONAL),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(value, 7u);
}

TEST_F(RegistryTest, DirectEntriesTakeTheValueOrTheDefault) {
  kernel_.Registry().SetValue(kKey, DwordValue(u"Present", 250));
  ULONG fallback = 5000;
  ULONG present = 1;
  ULONG absent = 1;
  ULONG noDefault = 1;
  RTL_QUERY_REGISTRY_TABLE withDefault = Direct(u"Absent", &absent);
  withDefault.DefaultType = REG_DWORD;
  withDefault.DefaultData = &fallback;
  withDefault.DefaultLength = sizeof(ULONG);
  EXPECT_EQ(Query({Direct(u"present", &present), withDefault, Direct(u"None", &noDefault)}),
            STATUS_SUCCESS);
  EXPECT_EQ(present, 250u);
  EXPECT_EQ(absent, 5000u);
  EXPECT_EQ(noDefault, 1u);
  EXPECT_EQ(Query({Direct(u"None", &noDefault, RTL_QUERY_REGISTRY_REQUIRED)}),
            STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(RegistryTest, TheTypeCheckRefusesAValueOfAnotherType) {
  kernel_.Registry().SetValue(kKey, StringValue(u"Number", u"not a number at all"));
  ULONG value = 5000;
  RTL_QUERY_REGISTRY_TABLE entry = Direct(u"Number", &value, RTL_QUERY_REGISTRY_TYPECHECK);
  entry.DefaultType = REG_DWORD << RTL_QUERY_REGISTRY_TYPECHECK_SHIFT;
  EXPECT_EQ(Query({entry}), STATUS_OBJECT_TYPE_MISMATCH);
  EXPECT_EQ(value, 5000u);
}

TEST_F(RegistryTest, StringsAndLongDataGoWhereTheirDestinationSays) {
  kernel_.Registry().SetValue(kKey, StringValue(u"Name", u"COM5"));
  kernel_.Registry().SetValue(kKey, {u"Blob", REG_BINARY, {1, 2, 3, 4, 5, 6}});
  UNICODE_STRING name{};
  LONG blob[3] = {-8, 0, 0};
  ASSERT_EQ(Query({Direct(u"Name", &name), Direct(u"Blob", blob)}), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(name.Buffer, name.Length / 2), u"COM5");
  EXPECT_EQ(reinterpret_cast<UCHAR*>(blob)[5], 6);
  RtlFreeUnicodeString(&name);
  LONG tooSmall[1] = {-4};
  EXPECT_EQ(Query({Direct(u"Blob", tooSmall)}), STATUS_BUFFER_TOO_SMALL);
}

TEST_F(RegistryTest, TheFullValueRecordCarriesNameAndDataAndReportsShortBuffers) {
  kernel_.Registry().CreateKey(u"\\Registry\\Machine\\Hardware\\Probe");
  kernel_.Registry().SetValue(u"\\Registry\\Machine\\Hardware\\Probe",
                              StringValue(u"PortName", u"COM5"));
  HANDLE key = kernel_.Registry().Open(u"\\Registry\\Machine\\Hardware\\Probe");
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, u"PortName");
  alignas(8) UCHAR buffer[128];
  ULONG length = 0;
  ASSERT_EQ(ZwQueryValueKey(key, &name, KeyValueFullInformation, buffer, sizeof buffer, &length),
            STATUS_SUCCESS);
  auto* info = reinterpret_cast<KEY_VALUE_FULL_INFORMATION*>(buffer);
  EXPECT_EQ(info->Type, REG_SZ);
  EXPECT_EQ(info->NameLength, 16u);
  EXPECT_EQ(info->DataLength, 10u);
  EXPECT_EQ(length, info->DataOffset + 10);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buffer + info->DataOffset)), u"COM5");
  EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValueFullInformation, buffer, 24, &length),
            STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValueFullInformation, buffer, 8, &length),
            STATUS_BUFFER_TOO_SMALL);
  UNICODE_STRING missing;
  RtlInitUnicodeString(&missing, u"Missing");
  EXPECT_EQ(ZwQueryValueKey(key, &missing, KeyValueFullInformation, buffer, sizeof buffer, &length),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
  EXPECT_EQ(ZwClose(key), STATUS_INVALID_HANDLE);
}

TEST_F(RegistryTest, ThePhysicalDeviceOpensItsHardwareKeyWhenItHasOne) {
  kmodel::BusDriver bus;
  PDEVICE_OBJECT withKey = bus.CreatePdo(u"USB\\VID_1234&PID_0001\\1");
  PDEVICE_OBJECT withoutKey = bus.CreatePdo(u"USB\\VID_1234&PID_0001\\2", {}, false);
  kernel_.Registry().SetValue(
      u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\USB\\VID_1234&PID_0001\\1\\Device "
      u"Parameters",
      StringValue(u"PortName", u"COM7"));
  HANDLE key = nullptr;
  ASSERT_EQ(IoOpenDeviceRegistryKey(withKey, PLUGPLAY_REGKEY_DEVICE, STANDARD_RIGHTS_READ, &key),
            STATUS_SUCCESS);
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, u"PortName");
  UCHAR buffer[64];
  ULONG length;
  EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof buffer, &length),
            STATUS_SUCCESS);
  ZwClose(key);
  EXPECT_EQ(IoOpenDeviceRegistryKey(withoutKey, PLUGPLAY_REGKEY_DEVICE, STANDARD_RIGHTS_READ, &key),
            STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(RegistryTest, TheSerialPortMapIsWrittenAndDeletedThroughTheDeviceMapRoot) {
  std::u16string data = u"COM5";
  ASSERT_EQ(RtlWriteRegistryValue(RTL_REGISTRY_DEVICEMAP, u"SERIALCOMM", u"\\Device\\Mirecom1",
                                  REG_SZ, data.data(), 10),
            STATUS_SUCCESS);
  auto value = kernel_.Registry().GetValue(u"\\Registry\\Machine\\Hardware\\DeviceMap\\SERIALCOMM",
                                           u"\\Device\\Mirecom1");
  ASSERT_TRUE(value);
  EXPECT_EQ(kmodel::ValueText(*value), u"COM5");
  EXPECT_EQ(RtlDeleteRegistryValue(RTL_REGISTRY_DEVICEMAP, u"SERIALCOMM", u"\\Device\\Mirecom1"),
            STATUS_SUCCESS);
  EXPECT_EQ(RtlDeleteRegistryValue(RTL_REGISTRY_DEVICEMAP, u"SERIALCOMM", u"\\Device\\Mirecom1"),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(
      RtlWriteRegistryValue(RTL_REGISTRY_DEVICEMAP, u"NOSUCHKEY", u"X", REG_SZ, data.data(), 10),
      STATUS_OBJECT_NAME_NOT_FOUND);
}

}  // namespace
