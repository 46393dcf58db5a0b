#pragma once
// Low-resource simulation. Allocations the driver asks for (pool blocks, IRPs, device
// objects) are counted; a test can make the n-th of them fail, or every one of a
// kind, and can make a named kernel service fail with a chosen status.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "kernel/ntstatus.h"

namespace kmodel {

enum class AllocationKind { NonPagedPool, PagedPool, Irp, DeviceObject, WorkItem };

enum class Service {
  AttachDevice,
  CreateSymbolicLink,
  RegisterInterface,
  SetInterfaceState,
  WriteRegistry,
  OpenDeviceKey,
};

class FaultInjector {
 public:
  // The n-th counted allocation from now on fails (1: the next one).
  void FailNth(uint64_t n);
  void FailEvery(AllocationKind kind, bool fail = true);
  // Every call of the service fails with status until cleared.
  void FailService(Service service, NTSTATUS status);
  void ClearService(Service service);
  void Clear();
  // Counted allocations so far, failed ones included.
  uint64_t AllocationCount() const { return count_.load(); }
  uint64_t FailuresInjected() const { return failures_.load(); }

  // For the model: counts one allocation and tells whether it fails.
  bool ShouldFail(AllocationKind kind);
  std::optional<NTSTATUS> ServiceFailure(Service service);

 private:
  mutable std::mutex mutex_;
  std::atomic<uint64_t> count_{0};
  std::atomic<uint64_t> failures_{0};
  uint64_t failAt_ = 0;
  uint32_t failKinds_ = 0;
  std::map<Service, NTSTATUS> services_;
};

}  // namespace kmodel
