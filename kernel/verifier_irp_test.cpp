// The verifier's IRP rules, each tripped once by the faulty driver.
#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel.h"
#include "kernel/testing/faulty_driver.h"

namespace kmodel {
namespace {

constexpr ULONG kTag = MakePoolTag('M', 'R', 'E', 'C');

const Scenario kScenarios[] = {
    {"CompletesTwice", Rule::IrpCompletedTwice,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         CompleteIrp(irp, STATUS_SUCCESS);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "FaultyDispatch for IRP_MJ_WRITE"},
    {"CompletesWithStatusPending", Rule::IrpCompletedPending,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         CompleteIrp(irp, STATUS_PENDING);
         return STATUS_SUCCESS;
       };
       w.Send(IRP_MJ_WRITE);
     },
     "IRP_MJ_WRITE"},
    {"CompletesWithACancelRoutineSet", Rule::IrpCompletedWithCancelRoutine,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         IoSetCancelRoutine(irp, FaultyCancel);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "FaultyCancel"},
    {"CompletesWhatItPassedOn", Rule::IrpCompletedAndPassedOn,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         IoSkipCurrentIrpStackLocation(irp);
         IoCallDriver(Faulty(device)->lower, irp);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_FLUSH_BUFFERS);
     },
     "FaultyDispatch"},
    {"PassesOnWhatItCompleted", Rule::IrpCompletedAndPassedOn,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         CompleteIrp(irp, STATUS_SUCCESS);
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
       CompleteIrp(w.extension->held, STATUS_SUCCESS);
     },
     "FaultyDispatch"},
    {"MarksPendingAndReturnsSuccess", Rule::IrpMarkedNotPending,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         IoMarkIrpPending(irp);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "returned 0x00000000"},
    {"LetsItsOwnIrpCompleteToTheTop", Rule::IrpDriverOwnedCompletedToTop,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         PIRP own = OwnIrp(device, IRP_MJ_FLUSH_BUFFERS);
         IoCallDriver(Faulty(device)->lower, own);
         IoFreeIrp(own);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "STATUS_MORE_PROCESSING_REQUIRED"},
    {"FreesAnIrpTheLowerDriverHolds", Rule::IrpFreedInUse,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         PIRP own = OwnIrp(device, IRP_MJ_READ);
         IoCallDriver(Faulty(device)->lower, own);
         IoFreeIrp(own);
         return CompleteIrp(irp, STATUS_SUCCESS);
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
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "no stack location left"},
    {"FreesItsIrpTwice", Rule::IrpNotAllocated,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT, PIRP irp) {
         PIRP own = IoAllocateIrp(1, FALSE);
         IoFreeIrp(own);
         IoFreeIrp(own);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
     },
     "IoFreeIrp on"},
    {"BuildsARequestItNeverSends", Rule::PoolLeak,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         KEVENT done;
         IO_STATUS_BLOCK status{};
         BuildControlRequest(device, &done, &status);
         return CompleteIrp(irp, STATUS_SUCCESS);
       };
       w.Send(IRP_MJ_WRITE);
       w.RemoveDevice();
       w.RunEndOfTestChecks();
     },
     "built by the driver and never completed"},
    {"KeepsARequestPendingPastItsDevice", Rule::IrpNeverCompleted,
     [](FaultyWorld& w) {
       faultyBehaviour = [](PDEVICE_OBJECT device, PIRP irp) {
         IoMarkIrpPending(irp);
         Faulty(device)->held = irp;
         return STATUS_PENDING;
       };
       w.Send(IRP_MJ_WRITE);
       w.RemoveDevice();
       w.RunEndOfTestChecks();
     },
     "IRP_MJ_WRITE"},
};

class IrpRuleTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(IrpRuleTest, TheFaultyDriverTripsTheRule) {
  ExpectScenarioTripsItsRule(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rules, IrpRuleTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(VerifierDeathTest, WithoutARecorderAViolationStopsTheTestWithItsReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        kmodel::Kernel kernel;
        kmodel::BusDriver bus;
        PDEVICE_OBJECT pdo = bus.CreatePdo(u"MODEL\\DEATH\\1", [](PDEVICE_OBJECT, PIRP irp) {
          CompleteIrp(irp, STATUS_SUCCESS);
          return CompleteIrp(irp, STATUS_SUCCESS);
        });
        kmodel::IoRequest request(pdo, IRP_MJ_READ);
        request.Send();
      },
      "an IRP is completed twice(.|\n)*IRP:     #1 IRP_MJ_READ");
}

}  // namespace
}  // namespace kmodel
