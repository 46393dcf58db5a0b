#include "kernel/testing/allocation_walk.h"

namespace kmodel {

uint64_t WalkAllocationFailures(const KernelOptions& options, const FailureScenario& scenario) {
  uint64_t count;
  {
    Kernel kernel(options);
    scenario(kernel, 0);
    count = kernel.Faults().AllocationCount();
  }
  for (uint64_t failing = 1; failing <= count; ++failing) {
    Kernel kernel(options);
    kernel.Faults().FailNth(failing);
    scenario(kernel, failing);
  }
  return count;
}

}  // namespace kmodel
