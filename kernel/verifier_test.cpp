// A deliberately faulty driver trips each rule of the verifier once. Every scenario
// runs in a kernel of its own with violations recorded, and the first violation must
// be the rule the scenario breaks, reported with the IRP and the routine.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "kernel/kernel.h"
#include "kernel/model/kernel_state.h"
#include "kernel/testing/bus_driver.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/io_request.h"
#include "kernel/testing/kernel_model.h"

using kmodel::Rule;

// The faulty driver's device record and behaviour. Its routines have external
// linkage so that reports can name them.
struct FaultyExtension {
  PDEVICE_OBJECT lower;
  KSPIN_LOCK lockA;
  KSPIN_LOCK lockB;
  KEVENT event;
  KDPC dpc;
  PIRP held;
};

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

namespace {

constexpr ULONG kTag = MakePoolTag('M', 'R', 'E', 'C');

NTSTATUS Complete(PIRP irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// The faulty driver loaded above a model bus device that keeps every read pending
// (held until the test completes it) and answers the rest as a bus driver does.
class FaultyWorld {
 public:
  FaultyWorld() {
    pdo = bus.CreatePdo(u"MODEL\\FAULTY\\1", [this](PDEVICE_OBJECT busDevice, PIRP irp) {
      if (IoGetCurrentIrpStackLocation(irp)->MajorFunction != IRP_MJ_READ) {
        return kmodel::BusDriver::AnswerDefault(busDevice, irp);
      }
      IoMarkIrpPending(irp);
      busHeld = irp;
      return STATUS_PENDING;
    });
    driver = kmodel::LoadDriver(FaultyDriverEntry, u"Faulty").driver;
    kmodel::AddDevice(driver, pdo);
    device = kmodel::TopOfStack(pdo);
    extension = Faulty(device);
    kernel.NameLock(&extension->lockA, "LockA");
    kernel.NameLock(&extension->lockB, "LockB");
  }
  NTSTATUS Send(UCHAR major, UCHAR minor = 0) {
    requests.emplace_back(std::make_unique<kmodel::IoRequest>(device, major, minor));
    return requests.back()->Send();
  }
  void FinishBusRead() {
    if (PIRP irp = std::exchange(busHeld, nullptr)) Complete(irp, STATUS_SUCCESS);
  }

  kmodel::ViolationRecorder recorder;
  kmodel::Kernel kernel{Options()};
  kmodel::BusDriver bus;
  PDEVICE_OBJECT pdo = nullptr;
  PDRIVER_OBJECT driver = nullptr;
  PDEVICE_OBJECT device = nullptr;
  FaultyExtension* extension = nullptr;
  PIRP busHeld = nullptr;
  std::vector<std::unique_ptr<kmodel::IoRequest>> requests;

 private:
  kmodel::KernelOptions Options() {
    kmodel::KernelOptions options;
    options.handler = &recorder;
    return options;
  }
};

struct Scenario {
  const char* name;
  Rule rule;
  std::function<void(FaultyWorld&)> run;
  // Text the report must contain, besides the rule.
  const char* reportMentions;
};

const Scenario kScenarios[] = {
    {"CompletesTwice", Rule::IrpCompletedTwice,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         Complete(irp, STATUS_SUCCESS);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "dispatch routine FaultyDispatch for IRP_MJ_WRITE"},
    {"CompletesWithStatusPending", Rule::IrpCompletedPending,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         Complete(irp, STATUS_PENDING);
         return STATUS_SUCCESS;
       };
       w.Send(IRP_MJ_WRITE);
     },
     "IRP_MJ_WRITE"},
    {"CompletesWithACancelRoutineSet", Rule::IrpCompletedWithCancelRoutine,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         IoSetCancelRoutine(irp, FaultyCancel);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "FaultyCancel"},
    {"CompletesWhatItPassedOn", Rule::IrpCompletedAndPassedOn,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         IoSkipCurrentIrpStackLocation(irp);
         IoCallDriver(Faulty(device)->lower, irp);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_FLUSH_BUFFERS);
     },
     "FaultyDispatch"},
    {"PassesOnWhatItCompleted", Rule::IrpCompletedAndPassedOn,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         Complete(irp, STATUS_SUCCESS);
         IoSkipCurrentIrpStackLocation(irp);
         return IoCallDriver(Faulty(device)->lower, irp);
       };
       w.Send(IRP_MJ_FLUSH_BUFFERS);
     },
     "FaultyDispatch"},
    {"PassesOnTwice", Rule::IrpPassedOnTwice,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         IoSkipCurrentIrpStackLocation(irp);
         IoCallDriver(Faulty(device)->lower, irp);
         IoSkipCurrentIrpStackLocation(irp);
         return IoCallDriver(Faulty(device)->lower, irp);
       };
       w.Send(IRP_MJ_READ);
       w.FinishBusRead();
     },
     "IRP_MJ_READ"},
    {"ReturnsPendingWithoutTheMark", Rule::IrpPendingNotMarked,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         Faulty(device)->held = irp;
         return STATUS_PENDING;
       };
       w.Send(IRP_MJ_WRITE);
       Complete(w.extension->held, STATUS_SUCCESS);
     },
     "dispatch routine FaultyDispatch"},
    {"MarksPendingAndReturnsSuccess", Rule::IrpMarkedNotPending,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         IoMarkIrpPending(irp);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "returned 0x00000000"},
    {"LetsItsOwnIrpCompleteToTheTop", Rule::IrpDriverOwnedCompletedToTop,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         PDEVICE_OBJECT lower = Faulty(device)->lower;
         PIRP own = IoAllocateIrp(lower->StackSize, FALSE);
         IoGetNextIrpStackLocation(own)->MajorFunction = IRP_MJ_FLUSH_BUFFERS;
         IoCallDriver(lower, own);
         IoFreeIrp(own);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "STATUS_MORE_PROCESSING_REQUIRED"},
    {"FreesAnIrpTheLowerDriverHolds", Rule::IrpFreedInUse,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         PDEVICE_OBJECT lower = Faulty(device)->lower;
         PIRP own = IoAllocateIrp(lower->StackSize, FALSE);
         IoGetNextIrpStackLocation(own)->MajorFunction = IRP_MJ_READ;
         IoCallDriver(lower, own);
         IoFreeIrp(own);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "a lower driver still holds it"},
    {"PassesOnWithNoStackLocationLeft", Rule::IrpStackTooSmall,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_CLEANUP) {
           IoCopyCurrentIrpStackLocationToNext(irp);
           return IoCallDriver(Faulty(device)->lower, irp);
         }
         // An IRP with room for this device only, sent to this device.
         PIRP own = IoAllocateIrp(1, FALSE);
         IoGetNextIrpStackLocation(own)->MajorFunction = IRP_MJ_CLEANUP;
         IoCallDriver(device, own);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "no stack location left"},
    {"TakesLocksAgainstTheDeclaredOrder", Rule::LockOrder,
     [](FaultyWorld& w) {
       w.kernel.DeclareLockOrder({&w.extension->lockA, w.kernel.CancelSpinLock()});
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL cancelIrql;
         KIRQL irql;
         IoAcquireCancelSpinLock(&cancelIrql);
         KeAcquireSpinLock(&Faulty(device)->lockA, &irql);
         KeReleaseSpinLock(&Faulty(device)->lockA, irql);
         IoReleaseCancelSpinLock(cancelIrql);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "LockA taken while holding the cancel spin lock"},
    {"TakesLocksAgainstTheOrderItShowedBefore", Rule::LockOrder,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         bool reversed = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_READ;
         PKSPIN_LOCK first = reversed ? &Faulty(device)->lockB : &Faulty(device)->lockA;
         PKSPIN_LOCK second = reversed ? &Faulty(device)->lockA : &Faulty(device)->lockB;
         KIRQL irql = KeAcquireSpinLockRaiseToDpc(first);
         KeAcquireSpinLockAtDpcLevel(second);
         KeReleaseSpinLockFromDpcLevel(second);
         KeReleaseSpinLock(first, irql);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
       w.Send(IRP_MJ_READ);
     },
     "LockA taken while holding LockB"},
    {"TakesALockItHolds", Rule::LockRecursion,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockA);
         KeAcquireSpinLockAtDpcLevel(&Faulty(device)->lockA);
         KeReleaseSpinLock(&Faulty(device)->lockA, irql);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "LockA"},
    {"WaitsWithATimeOutAtDispatchLevel", Rule::WrongIrql,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockA);
         LARGE_INTEGER timeout;
         timeout.QuadPart = -100'000;
         KeWaitForSingleObject(&Faulty(device)->event, Executive, KernelMode, FALSE, &timeout);
         KeReleaseSpinLock(&Faulty(device)->lockA, irql);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "KeWaitForSingleObject with a time-out of -100000"},
    {"AllocatesPagedPoolAtDispatchLevel", Rule::WrongIrql,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockA);
         PVOID block = ExAllocatePoolWithTag(PagedPool, 16, kTag);
         KeReleaseSpinLock(&Faulty(device)->lockA, irql);
         ExFreePoolWithTag(block, kTag);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "paged allocation of 16 bytes"},
    {"ReleasesALockAtAnotherIrql", Rule::WrongIrql,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockA);
         KIRQL raised;
         KeRaiseIrql(HIGH_LEVEL, &raised);
         KeReleaseSpinLock(&Faulty(device)->lockA, irql);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "releasing LockA"},
    {"ReturnsFromADpcHoldingALock", Rule::UnbalancedReturn,
     [](FaultyWorld& w) {
       faultyDpcBehaviour = [&w](PKDPC) { KeAcquireSpinLockAtDpcLevel(&w.extension->lockA); };
       KeInsertQueueDpc(&w.extension->dpc, nullptr, nullptr);
       w.kernel.RunUntilIdle();
     },
     "DPC routine FaultyDpc"},
    {"ReturnsFromADpcAtAnotherIrql", Rule::UnbalancedReturn,
     [](FaultyWorld& w) {
       faultyDpcBehaviour = [](PKDPC) { KeLowerIrql(PASSIVE_LEVEL); };
       KeInsertQueueDpc(&w.extension->dpc, nullptr, nullptr);
       w.kernel.RunUntilIdle();
     },
     "returned at 0"},
    {"ReturnsFromACompletionRoutineHoldingALock", Rule::UnbalancedReturn,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         IoCopyCurrentIrpStackLocationToNext(irp);
         IoSetCompletionRoutine(
             irp,
             [](PDEVICE_OBJECT completed, PIRP, PVOID) {
               KIRQL ignored;
               KeAcquireSpinLock(&Faulty(completed)->lockB, &ignored);
               return STATUS_CONTINUE_COMPLETION;
             },
             nullptr, TRUE, TRUE, TRUE);
         return IoCallDriver(Faulty(device)->lower, irp);
       };
       w.Send(IRP_MJ_FLUSH_BUFFERS);
     },
     "completion routine"},
    {"LeaksPoolWhenItsDeviceIsDeleted", Rule::PoolLeak,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         ExAllocatePoolWithTag(NonPagedPool, 24, kTag);
         IoDetachDevice(Faulty(device)->lower);
         IoDeleteDevice(device);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE);
     },
     "tag \"MREC\", 24 bytes non-paged"},
    {"AllocatesWithAnotherTag", Rule::PoolTag,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         ExFreePool(ExAllocatePoolWithTag(NonPagedPool, 8, MakePoolTag('A', 'B', 'C', 'D')));
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "tag \"ABCD\""},
    {"FreesPoolTwice", Rule::PoolBadFree,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         PVOID block = ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
         ExFreePoolWithTag(block, kTag);
         ExFreePoolWithTag(block, kTag);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "freed already"},
    {"FreesMemoryWithATimerSetInside", Rule::FreedWhileQueued,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         auto* timer =
             static_cast<PKTIMER>(ExAllocatePoolWithTag(NonPagedPool, sizeof(KTIMER), kTag));
         KeInitializeTimer(timer);
         LARGE_INTEGER due;
         due.QuadPart = -10'000'000;
         KeSetTimer(timer, due, nullptr);
         ExFreePoolWithTag(timer, kTag);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "a set timer at offset 0"},
    {"LeavesDeviceInitializingSet", Rule::DeviceState,
     [](FaultyWorld& w) {
       faultyAddDeviceClearsInitializing = false;
       PDEVICE_OBJECT second = w.bus.CreatePdo(u"MODEL\\FAULTY\\2");
       kmodel::AddDevice(w.driver, second);
       faultyAddDeviceClearsInitializing = true;
     },
     "DO_DEVICE_INITIALIZING"},
    {"WaitsForAnEventNothingWillSet", Rule::Deadlock,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KeWaitForSingleObject(&Faulty(device)->event, Executive, KernelMode, FALSE, nullptr);
         return Complete(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "dispatch routine FaultyDispatch"},
};

class VerifierTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(VerifierTest, TheFaultyDriverTripsTheRule) {
  const Scenario& scenario = GetParam();
  FaultyWorld world;
  scenario.run(world);
  world.FinishBusRead();
  std::vector<kmodel::Violation> violations = world.recorder.Violations();
  ASSERT_FALSE(violations.empty());
  const kmodel::Violation& first = violations.front();
  EXPECT_EQ(first.rule, scenario.rule) << first.Report();
  std::string report = first.Report();
  EXPECT_NE(report.find(std::string(kmodel::RuleText(scenario.rule))), std::string::npos);
  EXPECT_NE(report.find(scenario.reportMentions), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(Rules, VerifierTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(VerifierDeathTest, WithoutARecorderAViolationStopsTheTestWithItsReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        kmodel::Kernel kernel;
        kmodel::BusDriver bus;
        PDEVICE_OBJECT pdo = bus.CreatePdo(u"MODEL\\DEATH\\1", [](PDEVICE_OBJECT, PIRP irp) {
          Complete(irp, STATUS_SUCCESS);
          return Complete(irp, STATUS_SUCCESS);
        });
        kmodel::IoRequest request(pdo, IRP_MJ_READ);
        request.Send();
      },
      "an IRP is completed twice(.|\n)*IRP:     #1 IRP_MJ_READ");
}

}  // namespace
