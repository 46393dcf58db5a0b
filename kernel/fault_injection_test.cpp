// Low-resource simulation and the walk over every allocation failure of a scenario.
#include <gtest/gtest.h>

#include "kernel/kernel.h"
#include "kernel/testing/allocation_walk.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/kernel_model.h"

namespace {

constexpr ULONG kTag = MakePoolTag('M', 'R', 'E', 'C');

NTSTATUS NoEntry(PDRIVER_OBJECT, PUNICODE_STRING) {
  return STATUS_SUCCESS;
}

TEST(FaultInjectionTest, TheNthAllocationFailsWhateverItsKind) {
  for (uint64_t failing = 1; failing <= 3; ++failing) {
    kmodel::Kernel kernel;
    PDRIVER_OBJECT driver = kmodel::LoadDriver(NoEntry, u"Faults").driver;
    kernel.Faults().FailNth(failing);
    PVOID block = ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
    PIRP irp = IoAllocateIrp(1, FALSE);
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS created = IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    EXPECT_EQ(block == nullptr, failing == 1);
    EXPECT_EQ(irp == nullptr, failing == 2);
    EXPECT_EQ(created == STATUS_INSUFFICIENT_RESOURCES, failing == 3);
    if (block) ExFreePoolWithTag(block, kTag);
    if (irp) IoFreeIrp(irp);
    if (device) IoDeleteDevice(device);
  }
}

TEST(FaultInjectionTest, EveryAllocationOfAKindCanFail) {
  kmodel::Kernel kernel;
  kernel.Faults().FailEvery(kmodel::AllocationKind::PagedPool);
  EXPECT_EQ(ExAllocatePoolWithTag(PagedPool, 8, kTag), nullptr);
  EXPECT_EQ(ExAllocatePoolWithTag(PagedPool, 8, kTag), nullptr);
  PVOID block = ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
  EXPECT_NE(block, nullptr);
  ExFreePoolWithTag(block, kTag);
  EXPECT_EQ(kernel.Faults().FailuresInjected(), 2u);
}

TEST(FaultInjectionTest, TheWalkFindsTheFailurePathThatLeaks) {
  // Two allocations; when the second fails the first is not given back.
  kmodel::ViolationRecorder recorder;
  kmodel::KernelOptions options;
  options.handler = &recorder;
  uint64_t allocations = kmodel::WalkAllocationFailures(options, [](kmodel::Kernel&, uint64_t) {
    PVOID first = ExAllocatePoolWithTag(NonPagedPool, 40, kTag);
    if (!first) return;
    PVOID second = ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
    if (!second) return;
    ExFreePoolWithTag(second, kTag);
    ExFreePoolWithTag(first, kTag);
  });
  EXPECT_EQ(allocations, 2u);
  auto violations = recorder.Violations();
  ASSERT_EQ(violations.size(), 1u);
  EXPECT_EQ(violations[0].rule, kmodel::Rule::PoolLeak);
  EXPECT_NE(violations[0].detail.find("\"MREC\", 40 bytes"), std::string::npos);
}

TEST(FaultInjectionTest, ANamedServiceFailsWithTheChosenStatus) {
  kmodel::Kernel kernel;
  kernel.Faults().FailService(kmodel::Service::CreateSymbolicLink, STATUS_ACCESS_DENIED);
  UNICODE_STRING link;
  UNICODE_STRING target;
  RtlInitUnicodeString(&link, u"\\DosDevices\\COM9");
  RtlInitUnicodeString(&target, u"\\Device\\Nothing");
  EXPECT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_ACCESS_DENIED);
  kernel.Faults().ClearService(kmodel::Service::CreateSymbolicLink);
  EXPECT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_SUCCESS);
  IoDeleteSymbolicLink(&link);
}

}  // namespace
