#include "kernel/model/kernel_state.h"

#include <cstdio>
#include <cstdlib>

#include "kernel/model/context.h"

namespace kmodel {
namespace {

std::atomic<KernelState*> current{nullptr};
constexpr ULONG kSystemTag = MakePoolTag('K', 'm', 'd', 'l');

}  // namespace

KernelState::KernelState(const KernelOptions& kernelOptions)
    : options(kernelOptions), scheduler(kernelOptions) {
  locks.Name(&cancelLock, "the cancel spin lock");
  handler_.store(kernelOptions.handler);
}

KernelState::~KernelState() {
  scheduler.Stop();
  irps.ReleaseAll();
  pool.ReleaseAll();
}

ViolationHandler& KernelState::Handler() {
  ViolationHandler* handler = handler_.load();
  return handler ? *handler : defaultHandler_;
}

void KernelState::SetHandler(ViolationHandler* handler) {
  handler_.store(handler);
}

bool KernelState::DriverHasDevices() {
  for (DriverRecord* driver : devices.Drivers()) {
    if (!driver->modelDriver && devices.DevicesOf(&driver->object) > 0) return true;
  }
  return false;
}

void KernelState::CheckForLeaks(const std::string& when) {
  std::string detail;
  std::vector<PoolBlock> blocks = pool.Outstanding();
  for (const PoolBlock& block : blocks) detail += "\n    " + DescribeBlock(block);
  std::vector<uint64_t> irpSerials;
  {
    std::lock_guard guard(irps.Mutex());
    for (IrpRecord* record : irps.LiveLocked()) {
      // A built request is freed only by its completion, so one still here was never
      // sent or never completed.
      const char* how = record->origin == IrpOrigin::Driver ? "allocated by the driver"
                        : record->origin == IrpOrigin::Threaded
                            ? "built by the driver and never completed"
                            : nullptr;
      if (!how) continue;
      detail += "\n    IRP #" + std::to_string(record->serial) + " " + how;
      // One a lower driver still holds stays until the kernel goes, so that its
      // completion does not write into freed memory.
      if (!record->inFlight) irps.DestroyLocked(record);
    }
  }
  if (detail.empty()) return;
  for (const PoolBlock& block : blocks) pool.Release(reinterpret_cast<void*>(block.address));
  ReportViolationAt(Rule::PoolLeak, "", "the kernel",
                    "still allocated when " + when + ":" + detail);
}

void KernelState::CheckAtExit() {
  if (!options.checkAtExit || DriverHasDevices()) return;
  CheckForLeaks("the test ended");
  if (size_t open = registry.OpenHandles()) {
    ReportViolationAt(Rule::HandleLeak, "", "the kernel",
                      std::to_string(open) + " registry handle(s) never closed");
  }
  std::string unfinished;
  {
    std::lock_guard guard(irps.Mutex());
    for (IrpRecord* record : irps.LiveLocked()) {
      if (record->origin == IrpOrigin::System && !record->completed) {
        unfinished +=
            "\n    IRP #" + std::to_string(record->serial) + " " + MajorName(record->major);
      }
    }
  }
  if (!unfinished.empty()) {
    ReportViolationAt(
        Rule::IrpNeverCompleted, "", "the kernel",
        "still pending when the test ended and the driver's devices were gone:" + unfinished);
  }
}

KernelState& State() {
  KernelState* state = current.load();
  if (!state) {
    std::fputs("kernel model: a kernel service was called with no kmodel::Kernel alive\n", stderr);
    std::abort();
  }
  return *state;
}

KernelState* CurrentState() {
  return current.load();
}
void InstallState(KernelState* state) {
  current.store(state);
}

void AfterDriverCall() {
  KernelState& state = State();
  if (!Thread().frames.empty() || !state.deviceDeleted.exchange(false)) return;
  if (!state.DriverHasDevices()) state.CheckForLeaks("the driver's last device object was deleted");
}

void* AllocateForDriver(size_t size) {
  const Frame* frame = InnermostFrame();
  return State().pool.Allocate(PagedPool, size, kSystemTag, true,
                               frame ? DescribeFrame(*frame) : std::string());
}

void ReleasingMemory(uintptr_t begin, size_t size, const std::string& what) {
  KernelState& state = State();
  std::string queued = state.scheduler.RemoveQueuedObjectsIn(begin, begin + size);
  state.locks.ForgetRange(begin, begin + size);
  if (!queued.empty()) ReportViolation(Rule::FreedWhileQueued, nullptr, what + " with " + queued);
}

}  // namespace kmodel
