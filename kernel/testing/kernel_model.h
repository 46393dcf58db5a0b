#pragma once
// The test's handle on a model kernel. Creating a Kernel makes it the current one
// for the kernel's services; destroying it runs the end-of-test checks (leaks, open
// handles, unfinished requests) and stops its threads. One kernel at a time.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/irql.h"
#include "kernel/model/fault_injector.h"
#include "kernel/model/object_directory.h"
#include "kernel/model/options.h"
#include "kernel/model/pool_tracker.h"
#include "kernel/model/registry_store.h"
#include "kernel/model/verifier.h"
#include "kernel/spin_lock.h"

namespace kmodel {

class KernelState;

class Kernel {
 public:
  explicit Kernel(KernelOptions options = {});
  ~Kernel();
  Kernel(const Kernel&) = delete;
  Kernel& operator=(const Kernel&) = delete;

  // System time in 100-ns units.
  int64_t Now();
  // Virtual clock: moves time on, firing every timer that falls due on the way in
  // order and running the DPCs they queue, and lets the model settle at each step.
  void AdvanceTo(int64_t moment);
  void AdvanceBy(int64_t delta);
  // Runs (inline) or waits for (threaded) all queued DPCs and work.
  void RunUntilIdle();

  // Model work that stands for hardware or a bus driver: run at DISPATCH_LEVEL on a
  // processor, now or once the clock reaches now + delay.
  void QueueAtDispatch(std::function<void()> work);
  uint64_t ScheduleAfter(int64_t delay, std::function<void()> work);
  bool CancelScheduled(uint64_t id);

  // Null restores the default reaction (report and abort).
  void SetViolationHandler(ViolationHandler* handler);
  void NameLock(PKSPIN_LOCK lock, std::string name);
  // Declares that each lock is taken before all that follow it when they nest.
  void DeclareLockOrder(std::initializer_list<PKSPIN_LOCK> order);
  PKSPIN_LOCK CancelSpinLock();

  FaultInjector& Faults();
  RegistryStore& Registry();
  ObjectDirectory& Names();
  std::vector<PoolBlock> PoolBlocks();
  // Reports a leak now for every pool block still allocated.
  void CheckForLeaks(const std::string& when);

  KernelState& State() { return *state_; }

 private:
  KernelState* state_;
};

// Records violations instead of aborting, while it is installed. The model then
// skips or repairs the faulty step and goes on.
class ViolationRecorder final : public ViolationHandler {
 public:
  // Not installed: pass it in KernelOptions::handler.
  ViolationRecorder() = default;
  // Installed on the kernel until destroyed.
  explicit ViolationRecorder(Kernel& kernel);
  ~ViolationRecorder() override;
  void OnViolation(const Violation& violation) override;
  std::vector<Violation> Violations();
  bool Saw(Rule rule);
  // Number of violations of rule.
  size_t Count(Rule rule);
  void Clear();

 private:
  Kernel* kernel_ = nullptr;
  std::mutex mutex_;
  std::vector<Violation> violations_;
};

// Runs the test thread at another IRQL for a scope.
class ScopedIrql {
 public:
  explicit ScopedIrql(KIRQL irql);
  ~ScopedIrql();
  ScopedIrql(const ScopedIrql&) = delete;
  ScopedIrql& operator=(const ScopedIrql&) = delete;

 private:
  KIRQL saved_;
};

}  // namespace kmodel
