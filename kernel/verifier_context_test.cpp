// The verifier's rules on locks, IRQL, pool and device objects, each tripped once by
// the faulty driver.
#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/faulty_driver.h"

namespace kmodel {
namespace {

constexpr ULONG kTag = MakePoolTag('M', 'R', 'E', 'C');

const Scenario kScenarios[] = {
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
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "LockA"},
    {"ReleasesALockItDoesNotHold", Rule::LockNotHeld,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL irql;
         KeRaiseIrql(DISPATCH_LEVEL, &irql);
         KeReleaseSpinLockFromDpcLevel(&Faulty(device)->lockB);
         KeLowerIrql(irql);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "LockB is not held"},
    {"WaitsWithATimeOutAtDispatchLevel", Rule::WrongIrql,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockA);
         LARGE_INTEGER timeout;
         timeout.QuadPart = -100'000;
         KeWaitForSingleObject(&Faulty(device)->event, Executive, KernelMode, FALSE, &timeout);
         KeReleaseSpinLock(&Faulty(device)->lockA, irql);
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "releasing LockA"},
    // The saved IRQLs of two nested locks swapped: the first release drops to
    // PASSIVE_LEVEL with the second lock still held.
    {"ReleasesNestedLocksWithTheirIrqlsSwapped", Rule::WrongIrql,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KIRQL first = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockA);
         KIRQL second = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockB);
         KeReleaseSpinLock(&Faulty(device)->lockA, first);
         KeReleaseSpinLock(&Faulty(device)->lockB, second);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "releasing LockA to IRQL 0 while still holding LockB"},
    {"BuildsAControlRequestAtDispatchLevel", Rule::WrongIrql,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KEVENT done;
         IO_STATUS_BLOCK status{};
         KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Faulty(device)->lockA);
         PIRP built = BuildControlRequest(device, &done, &status);
         KeReleaseSpinLock(&Faulty(device)->lockA, irql);
         IoCallDriver(Faulty(device)->lower, built);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "IoBuildDeviceIoControlRequest at IRQL 2"},
    {"ReturnsFromADpcHoldingALock", Rule::UnbalancedReturn,
     [](FaultyWorld& w) {
       faultyDpcBehaviour = [&w](PKDPC) { KeAcquireSpinLockAtDpcLevel(&w.extension->lockA); };
       KeInsertQueueDpc(&w.extension->dpc, nullptr, nullptr);
       w.kernel.RunUntilIdle();
     },
     "DPC routine kmodel::FaultyDpc"},
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
    {"ReturnsFromACancelRoutineHoldingTheCancelSpinLock", Rule::UnbalancedReturn,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         IoMarkIrpPending(irp);
         Faulty(device)->held = irp;
         IoSetCancelRoutine(
             irp, [](PDEVICE_OBJECT, PIRP cancelled) { IoSetCancelRoutine(cancelled, nullptr); });
         return STATUS_PENDING;
       };
       w.Send(IRP_MJ_READ);
       w.requests.back()->Cancel();
       CompleteIrp(w.extension->held, STATUS_CANCELLED);
     },
     "returned still holding the cancel spin lock"},
    {"LeavesARegistryKeyOpen", Rule::HandleLeak,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         HANDLE key;
         IoOpenDeviceRegistryKey(Faulty(device)->lower, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
       w.RemoveDevice();
       w.RunEndOfTestChecks();
     },
     "1 registry handle(s) never closed"},
    {"LeaksPoolWhenItsDeviceIsDeleted", Rule::PoolLeak,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         ExAllocatePoolWithTag(NonPagedPool, 24, kTag);
         IoDetachDevice(Faulty(device)->lower);
         IoDeleteDevice(device);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE);
     },
     "tag \"MREC\", 24 bytes non-paged"},
    // Its own read is still with the bus when the device goes; the read completes
    // later all the same.
    {"DeletesItsDeviceWithItsOwnRequestInFlight", Rule::PoolLeak,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         PDEVICE_OBJECT lower = Faulty(device)->lower;
         PIRP own = OwnIrp(device, IRP_MJ_READ);
         IoSetCompletionRoutine(
             own,
             [](PDEVICE_OBJECT, PIRP done, PVOID) {
               IoFreeIrp(done);
               return STATUS_MORE_PROCESSING_REQUIRED;
             },
             nullptr, TRUE, TRUE, TRUE);
         IoCallDriver(lower, own);
         IoDetachDevice(lower);
         IoDeleteDevice(device);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE);
     },
     "allocated by the driver"},
    {"LeaksPoolUntilTheDriverIsUnloaded", Rule::PoolLeak,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         ExAllocatePoolWithTag(PagedPool, 12, kTag);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
       w.RemoveDevice();
       UnloadDriver(w.driver);
     },
     "the driver was unloaded"},
    {"AllocatesWithAnotherTag", Rule::PoolTag,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         ExFreePool(ExAllocatePoolWithTag(NonPagedPool, 8, MakePoolTag('A', 'B', 'C', 'D')));
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "FaultyDispatch"},

};

class ContextRuleTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(ContextRuleTest, TheFaultyDriverTripsTheRule) {
  ExpectScenarioTripsItsRule(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rules, ContextRuleTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace kmodel
