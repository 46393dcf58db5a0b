#pragma once
// A deliberately faulty driver for the verifier's own tests. Its dispatch routine
// and DPC do whatever the test puts into faultyBehaviour and faultyDpcBehaviour; a
// FaultyWorld loads it above a model bus device in a kernel that records
// violations, and a Scenario says which rule one behaviour must trip.

#include <functional>
#include <memory>
#include <vector>

#include "kernel/kernel.h"
#include "kernel/testing/bus_driver.h"
#include "kernel/testing/io_request.h"
#include "kernel/testing/kernel_model.h"

namespace kmodel {

struct FaultyExtension {
  PDEVICE_OBJECT lower;
  KSPIN_LOCK lockA;
  KSPIN_LOCK lockB;
  KEVENT event;
  KDPC dpc;
  PIRP held;
};

extern std::function<NTSTATUS(PDEVICE_OBJECT, PIRP)> faultyBehaviour;
extern std::function<void(PKDPC)> faultyDpcBehaviour;
extern bool faultyAddDeviceClearsInitializing;

FaultyExtension* Faulty(PDEVICE_OBJECT device);
// The driver's routines, with external linkage so that reports can name them.
NTSTATUS FaultyDispatch(PDEVICE_OBJECT device, PIRP irp);
void FaultyDpc(PKDPC dpc, PVOID context, PVOID argument1, PVOID argument2);
void FaultyCancel(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS FaultyAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice);
NTSTATUS FaultyDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status);
// A request of the driver's own for the device below, its next location set to major.
PIRP OwnIrp(PDEVICE_OBJECT device, UCHAR major);
// An internal control request for the device below, built as a synchronous one is.
PIRP BuildControlRequest(PDEVICE_OBJECT device, PKEVENT done, PIO_STATUS_BLOCK status);

// The faulty driver's device above a bus device that keeps every read pending (held
// until FinishBusRead) and answers the rest as a bus driver does.
class FaultyWorld {
 public:
  FaultyWorld();
  // Sends a request to the faulty driver; the request lives as long as the world.
  NTSTATUS Send(UCHAR major, UCHAR minor = 0);
  void FinishBusRead();
  // Detaches and deletes the faulty driver's device, as removal does.
  void RemoveDevice();
  // The checks the kernel makes when a test ends, made now.
  void RunEndOfTestChecks();

  ViolationRecorder recorder;
  Kernel kernel;
  BusDriver bus;
  PDEVICE_OBJECT pdo = nullptr;
  PDRIVER_OBJECT driver = nullptr;
  PDEVICE_OBJECT device = nullptr;
  FaultyExtension* extension = nullptr;
  PIRP busHeld = nullptr;
  std::vector<std::unique_ptr<IoRequest>> requests;
};

struct Scenario {
  const char* name;
  Rule rule;
  std::function<void(FaultyWorld&)> run;
  // Text the report must contain, besides the rule's own.
  const char* reportMentions;
};

// Runs the scenario in a world of its own and checks that its first violation is the
// scenario's rule, with a report that mentions what it should.
void ExpectScenarioTripsItsRule(const Scenario& scenario);

}  // namespace kmodel
