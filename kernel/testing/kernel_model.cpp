#include "kernel/testing/kernel_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

namespace kmodel {

Kernel::Kernel(KernelOptions options) : state_(new KernelState(options)) {
  if (CurrentState()) {
    std::fputs("kernel model: a second kmodel::Kernel while one is alive\n", stderr);
    std::abort();
  }
  InstallState(state_);
  // The test thread starts clean even if an earlier kernel's test left it raised.
  Thread() = ThreadState{};
  state_->scheduler.Start();
}

Kernel::~Kernel() {
  state_->scheduler.RunUntilIdle();
  state_->CheckAtExit();
  state_->scheduler.Stop();
  InstallState(nullptr);
  delete state_;
}

int64_t Kernel::Now() {
  return state_->scheduler.Now();
}
void Kernel::AdvanceTo(int64_t moment) {
  state_->scheduler.AdvanceTo(moment);
}
void Kernel::AdvanceBy(int64_t delta) {
  AdvanceTo(Now() + delta);
}
void Kernel::RunUntilIdle() {
  state_->scheduler.RunUntilIdle();
}

void Kernel::QueueAtDispatch(std::function<void()> work) {
  state_->scheduler.QueueDispatch(std::move(work));
}

uint64_t Kernel::ScheduleAfter(int64_t delay, std::function<void()> work) {
  return state_->scheduler.ScheduleCallback(Now() + delay, std::move(work));
}

bool Kernel::CancelScheduled(uint64_t id) {
  return state_->scheduler.CancelCallback(id);
}

void Kernel::SetViolationHandler(ViolationHandler* handler) {
  state_->SetHandler(handler);
}
void Kernel::NameLock(PKSPIN_LOCK lock, std::string name) {
  state_->locks.Name(lock, std::move(name));
}
void Kernel::DeclareLockOrder(std::initializer_list<PKSPIN_LOCK> order) {
  state_->locks.DeclareOrder(order);
}
PKSPIN_LOCK Kernel::CancelSpinLock() {
  return &state_->cancelLock;
}

FaultInjector& Kernel::Faults() {
  return state_->faults;
}
RegistryStore& Kernel::Registry() {
  return state_->registry;
}
ObjectDirectory& Kernel::Names() {
  return state_->names;
}
std::vector<PoolBlock> Kernel::PoolBlocks() {
  return state_->pool.Outstanding();
}
void Kernel::CheckForLeaks(const std::string& when) {
  state_->CheckForLeaks(when);
}

ViolationRecorder::ViolationRecorder(Kernel& kernel) : kernel_(&kernel) {
  kernel_->SetViolationHandler(this);
}

ViolationRecorder::~ViolationRecorder() {
  if (kernel_) kernel_->SetViolationHandler(nullptr);
}

void ViolationRecorder::OnViolation(const Violation& violation) {
  std::lock_guard guard(mutex_);
  violations_.push_back(violation);
}

std::vector<Violation> ViolationRecorder::Violations() {
  std::lock_guard guard(mutex_);
  return violations_;
}

bool ViolationRecorder::Saw(Rule rule) {
  return Count(rule) > 0;
}

size_t ViolationRecorder::Count(Rule rule) {
  std::lock_guard guard(mutex_);
  return static_cast<size_t>(std::count_if(violations_.begin(), violations_.end(),
                                           [&](const Violation& v) { return v.rule == rule; }));
}

void ViolationRecorder::Clear() {
  std::lock_guard guard(mutex_);
  violations_.clear();
}

ScopedIrql::ScopedIrql(KIRQL irql) : saved_(Thread().irql) {
  Thread().irql = irql;
}
ScopedIrql::~ScopedIrql() {
  Thread().irql = saved_;
}

}  // namespace kmodel
