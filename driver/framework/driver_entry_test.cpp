#include "driver/framework/driver_entry.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "driver/framework/driver_globals.h"
#include "kernel/model/context.h"
#include "kernel/model/verifier.h"
#include "kernel/testing/allocation_walk.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/io_request.h"
#include "kernel/testing/kernel_model.h"

namespace {

using kmodel::DwordValue;
using kmodel::Kernel;
using kmodel::RegistryStore;
using kmodel::StringValue;

const std::u16string kService = u"Talsen";
const std::u16string kServiceKey = kmodel::ServiceKeyPath(kService);
const std::u16string kParametersKey = kServiceKey + u"\\Parameters";

kmodel::LoadResult Load() {
  // Leftovers of an earlier load must not decide anything.
  UrbTimeoutMs = 1;
  ReportSurpriseRemovalOk = TRUE;
  return kmodel::LoadDriver(DriverEntry, kService);
}

// Routines are named by their symbols, so the table below is independent of the
// driver's own.
TEST(DriverEntryTest, RegistersTheThirteenDispatchRoutinesAndAddDeviceOnly) {
  Kernel kernel;
  kmodel::LoadResult loaded = Load();
  ASSERT_EQ(loaded.status, STATUS_SUCCESS);
  PDRIVER_OBJECT driver = loaded.driver;
  const std::map<UCHAR, std::string> expected = {
      {IRP_MJ_CREATE, "DispatchCreate"},
      {IRP_MJ_CLOSE, "DispatchClose"},
      {IRP_MJ_CLEANUP, "DispatchCleanup"},
      {IRP_MJ_READ, "DispatchRead"},
      {IRP_MJ_WRITE, "DispatchWrite"},
      {IRP_MJ_FLUSH_BUFFERS, "DispatchFlush"},
      {IRP_MJ_QUERY_INFORMATION, "DispatchQueryInformation"},
      {IRP_MJ_SET_INFORMATION, "DispatchSetInformation"},
      {IRP_MJ_DEVICE_CONTROL, "DispatchDeviceControl"},
      {IRP_MJ_INTERNAL_DEVICE_CONTROL, "DispatchInternalDeviceControl"},
      {IRP_MJ_PNP, "DispatchPnp"},
      {IRP_MJ_POWER, "DispatchPower"},
      {IRP_MJ_SYSTEM_CONTROL, "DispatchSystemControl"},
  };
  for (UCHAR major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
    PDRIVER_DISPATCH routine = driver->MajorFunction[major];
    auto it = expected.find(major);
    if (it == expected.end()) {
      EXPECT_TRUE(kmodel::IsDefaultDispatch(routine)) << kmodel::MajorName(major);
    } else {
      EXPECT_EQ(kmodel::RoutineName(kmodel::RoutineAddress(routine)), it->second);
    }
  }
  EXPECT_EQ(kmodel::RoutineName(kmodel::RoutineAddress(driver->DriverExtension->AddDevice)),
            "AddDevice");
  EXPECT_EQ(driver->DriverUnload, nullptr);
}

TEST(DriverEntryTest, AMajorFunctionLeftAtTheDefaultIsRefused) {
  Kernel kernel;
  PDRIVER_OBJECT driver = Load().driver;
  PDEVICE_OBJECT device;
  ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_SERIAL_PORT, 0, TRUE, &device),
            STATUS_SUCCESS);
  kmodel::IoRequest request(device, IRP_MJ_SHUTDOWN);
  EXPECT_EQ(request.Send(), STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(request.Status(), STATUS_INVALID_DEVICE_REQUEST);
  IoDeleteDevice(device);
}

TEST(DriverEntryTest, ClearsTheDeviceNumberMapAndInitialisesItsLock) {
  Kernel kernel;
  for (UCHAR& byte : DeviceNumberMap) byte = 0xFF;
  DeviceNumberLock = 1;
  Load();
  for (UCHAR byte : DeviceNumberMap) EXPECT_EQ(byte, 0);
  EXPECT_EQ(DeviceNumberLock, 0u);
}

enum class Where { ServiceKey, Parameters };

struct PlacedValue {
  Where where;
  kmodel::RegistryValue value;
};

struct ParameterCase {
  const char* name;
  bool parametersKey;
  std::vector<PlacedValue> values;
  ULONG urbTimeoutMs;
  BOOLEAN reportSurpriseRemovalOk;
};

class DriverParametersTest : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(DriverParametersTest, ReadsBothValuesWithTheirFallbacks) {
  Kernel kernel;
  RegistryStore& registry = kernel.Registry();
  registry.CreateKey(kServiceKey);
  if (GetParam().parametersKey) registry.CreateKey(kParametersKey);
  for (const PlacedValue& placed : GetParam().values) {
    registry.SetValue(placed.where == Where::Parameters ? kParametersKey : kServiceKey,
                      placed.value);
  }
  ASSERT_EQ(Load().status, STATUS_SUCCESS);
  EXPECT_EQ(UrbTimeoutMs, GetParam().urbTimeoutMs);
  EXPECT_EQ(ReportSurpriseRemovalOk, GetParam().reportSurpriseRemovalOk);
  EXPECT_EQ(registry.OpenHandles(), 0u);
}

PlacedValue Timeout(ULONG value, Where where = Where::Parameters) {
  return {where, DwordValue(u"Timeout", value)};
}
PlacedValue TaskTrayIcon(ULONG value, Where where = Where::ServiceKey) {
  return {where, DwordValue(u"TaskTrayIcon", value)};
}
// A REG_DWORD whose data is not four bytes long, as a careless tool can write one.
PlacedValue MalformedDword(const char16_t* name, std::vector<UCHAR> data, Where where) {
  return {where, kmodel::RegistryValue{name, REG_DWORD, std::move(data)}};
}

const ParameterCase kParameterCases[] = {
    {"NoParametersSubkey", false, {}, 5000, FALSE},
    {"NoTimeoutValue", true, {}, 5000, FALSE},
    {"TimeoutZero", true, {Timeout(0)}, 5000, FALSE},
    {"Timeout250", true, {Timeout(250)}, 250, FALSE},
    {"TimeoutNotUnderParameters", true, {Timeout(250, Where::ServiceKey)}, 5000, FALSE},
    // A string where a number belongs is refused, not written over the ULONG.
    {"TimeoutOfAnotherType",
     true,
     {{Where::Parameters, StringValue(u"Timeout", u"a long text value")}},
     5000,
     FALSE},
    {"TaskTrayIconZero", false, {TaskTrayIcon(0)}, 5000, TRUE},
    {"TaskTrayIconOne", false, {TaskTrayIcon(1)}, 5000, FALSE},
    {"TaskTrayIconSeven", false, {TaskTrayIcon(7)}, 5000, FALSE},
    {"TaskTrayIconUnderParameters", true, {TaskTrayIcon(0, Where::Parameters)}, 5000, FALSE},
    {"BothSet", true, {Timeout(250), TaskTrayIcon(0)}, 250, TRUE},
    // Data of another length than a REG_DWORD's is refused, not copied over the
    // variable and what lies beyond it.
    {"TimeoutOfEightBytes",
     true,
     {MalformedDword(u"Timeout", {250, 0, 0, 0, 0, 0, 0, 0}, Where::Parameters)},
     5000,
     FALSE},
    {"TimeoutOfTwoBytes",
     true,
     {MalformedDword(u"Timeout", {250, 0}, Where::Parameters)},
     5000,
     FALSE},
    {"TaskTrayIconOfEightBytes",
     false,
     {MalformedDword(u"TaskTrayIcon", std::vector<UCHAR>(8, 0), Where::ServiceKey)},
     5000,
     FALSE},
    {"TaskTrayIconOfOneByte",
     false,
     {MalformedDword(u"TaskTrayIcon", {0}, Where::ServiceKey)},
     5000,
     FALSE},
};

INSTANTIATE_TEST_SUITE_P(Cases, DriverParametersTest, ::testing::ValuesIn(kParameterCases),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(DriverEntryTest, ReadsTheServiceKeyThatTheCountedPathNames) {
  Kernel kernel;
  kernel.Registry().CreateKey(kParametersKey);
  kernel.Registry().SetValue(kParametersKey, DwordValue(u"Timeout", 250));
  // The counted string stops before "Other"; a reader that ran to a zero would look
  // in another key.
  std::u16string text = kServiceKey + u"Other";
  UNICODE_STRING path{static_cast<USHORT>(kServiceKey.size() * sizeof(WCHAR)),
                      static_cast<USHORT>(text.size() * sizeof(WCHAR)), text.data()};
  ReadDriverParameters(&path);
  EXPECT_EQ(UrbTimeoutMs, 250u);
}

TEST(DriverEntryTest, EveryAllocationFailureLeavesTheDefaultsAndSucceeds) {
  uint64_t allocations = kmodel::WalkAllocationFailures({}, [](Kernel& kernel, uint64_t failing) {
    kernel.Registry().CreateKey(kParametersKey);
    kernel.Registry().SetValue(kParametersKey, DwordValue(u"Timeout", 250));
    kernel.Registry().SetValue(kServiceKey, DwordValue(u"TaskTrayIcon", 0));
    EXPECT_EQ(Load().status, STATUS_SUCCESS);
    EXPECT_EQ(UrbTimeoutMs, failing ? 5000u : 250u);
    EXPECT_EQ(ReportSurpriseRemovalOk, failing ? FALSE : TRUE);
  });
  EXPECT_EQ(allocations, 1u);
}

}  // namespace
