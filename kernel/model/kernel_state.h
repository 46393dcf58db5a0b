#pragma once
// One model kernel: every part of its state. A test creates it through
// kmodel::Kernel; the kernel's services find it as the current kernel.

#include <atomic>
#include <string>

#include "kernel/model/device_table.h"
#include "kernel/model/fault_injector.h"
#include "kernel/model/irp_table.h"
#include "kernel/model/lock_graph.h"
#include "kernel/model/object_directory.h"
#include "kernel/model/options.h"
#include "kernel/model/pool_tracker.h"
#include "kernel/model/registry_store.h"
#include "kernel/model/scheduler.h"
#include "kernel/model/verifier.h"

namespace kmodel {

class KernelState {
 public:
  explicit KernelState(const KernelOptions& options);
  ~KernelState();
  KernelState(const KernelState&) = delete;
  KernelState& operator=(const KernelState&) = delete;

  ViolationHandler& Handler();
  // Null restores the default (abort).
  void SetHandler(ViolationHandler* handler);
  // Whether a driver other than the model's own still has device objects.
  bool DriverHasDevices();
  // Reports every pool block and driver IRP still allocated, then forgets them.
  void CheckForLeaks(const std::string& when);
  // The checks at the end of a test: leaks, open handles, unfinished requests.
  void CheckAtExit();

  const KernelOptions options;
  LockGraph locks;
  PoolTracker pool;
  FaultInjector faults;
  IrpTable irps;
  DeviceTable devices;
  ObjectDirectory names;
  RegistryStore registry;
  KSPIN_LOCK cancelLock = 0;
  // Set when a device of the driver is deleted; the leak check follows once the
  // driver has returned to the kernel.
  std::atomic<bool> deviceDeleted{false};
  // Declared last, so that its threads stop before anything they use goes away.
  Scheduler scheduler;

 private:
  AbortOnViolation defaultHandler_;
  std::atomic<ViolationHandler*> handler_{nullptr};
};

// The current kernel; a service called without one aborts with a message.
KernelState& State();
KernelState* CurrentState();
void InstallState(KernelState* state);

// Called when control comes back from the driver to the model (the outermost driver
// routine of this thread has returned): runs the leak check due after a deletion.
void AfterDriverCall();

// A pool block that a kernel service allocates for the driver (the driver frees it).
void* AllocateForDriver(size_t size);

// Memory is about to be freed: reports and removes timers and DPCs queued inside it,
// and forgets its spin locks.
void ReleasingMemory(uintptr_t begin, size_t size, const std::string& what);

}  // namespace kmodel
