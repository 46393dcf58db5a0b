#include "kernel/testing/faulty_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "kernel/model/kernel_state.h"
#include "kernel/testing/driver_loader.h"

namespace kmodel {
namespace {

KernelOptions Recording(ViolationRecorder& recorder) {
  KernelOptions options;
  options.handler = &recorder;
  return options;
}

}  // namespace

std::function<NTSTATUS(PDEVICE_OBJECT, PIRP)> faultyBehaviour;
std::function<void(PKDPC)> faultyDpcBehaviour;
bool faultyAddDeviceClearsInitializing = true;

FaultyExtension* Faulty(PDEVICE_OBJECT device) {
  return static_cast<FaultyExtension*>(device->DeviceExtension);
}

NTSTATUS FaultyDispatch(PDEVICE_OBJECT device, PIRP irp) {
  return faultyBehaviour(device, irp);
}

void FaultyDpc(PKDPC dpc, PVOID, PVOID, PVOID) {
  faultyDpcBehaviour(dpc);
}

void FaultyCancel(PDEVICE_OBJECT, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
}

NTSTATUS FaultyAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice) {
  PDEVICE_OBJECT device;
  NTSTATUS status = IoCreateDevice(driver, sizeof(FaultyExtension), nullptr, FILE_DEVICE_UNKNOWN, 0,
                                   FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  FaultyExtension* extension = Faulty(device);
  extension->lower = IoAttachDeviceToDeviceStack(device, physicalDevice);
  KeInitializeSpinLock(&extension->lockA);
  KeInitializeSpinLock(&extension->lockB);
  KeInitializeEvent(&extension->event, NotificationEvent, FALSE);
  KeInitializeDpc(&extension->dpc, FaultyDpc, extension);
  if (faultyAddDeviceClearsInitializing) device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}

NTSTATUS FaultyDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  for (PDRIVER_DISPATCH& entry : driver->MajorFunction) entry = FaultyDispatch;
  driver->DriverExtension->AddDevice = FaultyAddDevice;
  return STATUS_SUCCESS;
}

NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

PIRP OwnIrp(PDEVICE_OBJECT device, UCHAR major) {
  PDEVICE_OBJECT lower = Faulty(device)->lower;
  PIRP own = IoAllocateIrp(lower->StackSize, FALSE);
  IoGetNextIrpStackLocation(own)->MajorFunction = major;
  return own;
}

PIRP BuildControlRequest(PDEVICE_OBJECT device, PKEVENT done, PIO_STATUS_BLOCK status) {
  KeInitializeEvent(done, NotificationEvent, FALSE);
  return IoBuildDeviceIoControlRequest(0x220003, Faulty(device)->lower, nullptr, 0, nullptr, 0,
                                       TRUE, done, status);
}

FaultyWorld::FaultyWorld() : kernel(Recording(recorder)) {
  pdo = bus.CreatePdo(u"MODEL\\FAULTY\\1", [this](PDEVICE_OBJECT busDevice, PIRP irp) {
    if (IoGetCurrentIrpStackLocation(irp)->MajorFunction != IRP_MJ_READ) {
      return BusDriver::AnswerDefault(busDevice, irp);
    }
    IoMarkIrpPending(irp);
    busHeld = irp;
    return STATUS_PENDING;
  });
  driver = LoadDriver(FaultyDriverEntry, u"Faulty").driver;
  AddDevice(driver, pdo);
  device = TopOfStack(pdo);
  extension = Faulty(device);
  kernel.NameLock(&extension->lockA, "LockA");
  kernel.NameLock(&extension->lockB, "LockB");
}

NTSTATUS FaultyWorld::Send(UCHAR major, UCHAR minor) {
  requests.emplace_back(std::make_unique<IoRequest>(device, major, minor));
  return requests.back()->Send();
}

void FaultyWorld::FinishBusRead() {
  if (PIRP irp = std::exchange(busHeld, nullptr)) CompleteIrp(irp, STATUS_SUCCESS);
}

void FaultyWorld::RemoveDevice() {
  IoDetachDevice(extension->lower);
  IoDeleteDevice(device);
  device = nullptr;
  extension = nullptr;
}

void FaultyWorld::RunEndOfTestChecks() {
  kernel.RunUntilIdle();
  kernel.State().CheckAtExit();
}

void ExpectScenarioTripsItsRule(const Scenario& scenario) {
  FaultyWorld world;
  scenario.run(world);
  world.FinishBusRead();
  std::vector<Violation> violations = world.recorder.Violations();
  ASSERT_FALSE(violations.empty());
  const Violation& first = violations.front();
  std::string report = first.Report();
  EXPECT_EQ(first.rule, scenario.rule) << report;
  EXPECT_NE(report.find(std::string(RuleText(scenario.rule))), std::string::npos);
  EXPECT_NE(report.find(scenario.reportMentions), std::string::npos) << report;
}

}  // namespace kmodel
