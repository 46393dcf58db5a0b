#pragma once
// Walking every allocation failure of a scenario: the scenario runs once to count
// the allocations it makes, then once for each of them with exactly that one
// failing. Every run has a fresh kernel, whose end-of-test checks report any leak;
// the scenario itself checks that a status came back.

#include <cstdint>
#include <functional>

#include "kernel/testing/kernel_model.h"

namespace kmodel {

// failing is 0 for the counting run, else the number of the allocation that fails.
using FailureScenario = std::function<void(Kernel& kernel, uint64_t failing)>;

// Returns the number of allocations the scenario makes when nothing fails.
uint64_t WalkAllocationFailures(const KernelOptions& options, const FailureScenario& scenario);

}  // namespace kmodel
