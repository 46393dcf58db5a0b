#include "kernel/model/fault_injector.h"

namespace kmodel {
namespace {

uint32_t Bit(AllocationKind kind) {
  return 1u << static_cast<int>(kind);
}

}  // namespace

void FaultInjector::FailNth(uint64_t n) {
  std::lock_guard guard(mutex_);
  failAt_ = n == 0 ? 0 : count_.load() + n;
}

void FaultInjector::FailEvery(AllocationKind kind, bool fail) {
  std::lock_guard guard(mutex_);
  failKinds_ = fail ? failKinds_ | Bit(kind) : failKinds_ & ~Bit(kind);
}

void FaultInjector::FailService(Service service, NTSTATUS status) {
  std::lock_guard guard(mutex_);
  services_[service] = status;
}

void FaultInjector::ClearService(Service service) {
  std::lock_guard guard(mutex_);
  services_.erase(service);
}

void FaultInjector::Clear() {
  std::lock_guard guard(mutex_);
  failAt_ = 0;
  failKinds_ = 0;
  services_.clear();
}

bool FaultInjector::ShouldFail(AllocationKind kind) {
  std::lock_guard guard(mutex_);
  uint64_t number = ++count_;
  bool fail = number == failAt_ || (failKinds_ & Bit(kind)) != 0;
  if (fail) ++failures_;
  return fail;
}

std::optional<NTSTATUS> FaultInjector::ServiceFailure(Service service) {
  std::lock_guard guard(mutex_);
  auto it = services_.find(service);
  if (it == services_.end()) return std::nullopt;
  return it->second;
}

}  // namespace kmodel
