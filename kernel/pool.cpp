#include "kernel/pool.h"

#include <optional>
#include <string>

#include "kernel/irql.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

using kmodel::ReportViolation;
using kmodel::Rule;
using kmodel::State;

namespace {

std::string Bytes(SIZE_T size) {
  return std::to_string(size) + " bytes";
}

void FreeBlock(PVOID block, std::optional<ULONG> tag) {
  kmodel::KernelState& state = State();
  if (!block) {
    ReportViolation(Rule::PoolBadFree, nullptr, "freeing a null pointer");
    return;
  }
  std::optional<kmodel::PoolBlock> found = state.pool.Find(block);
  if (!found) {
    ReportViolation(Rule::PoolBadFree, nullptr,
                    "the address is not the start of a pool block (freed already?)");
    return;
  }
  if (tag && *tag != found->tag) {
    ReportViolation(Rule::PoolBadFree, nullptr,
                    "freed with tag " + kmodel::TagText(*tag) + ", allocated as " +
                        kmodel::DescribeBlock(*found));
  }
  if (found->type == PagedPool && KeGetCurrentIrql() >= DISPATCH_LEVEL) {
    ReportViolation(Rule::WrongIrql, nullptr,
                    "freeing paged pool at IRQL " + std::to_string(KeGetCurrentIrql()));
  }
  kmodel::ReleasingMemory(found->address, found->size,
                          "freeing pool block (" + kmodel::DescribeBlock(*found) + ")");
  state.pool.Release(block);
}

}  // namespace

PVOID ExAllocatePoolWithTag(POOL_TYPE poolType, SIZE_T numberOfBytes, ULONG tag) {
  kmodel::KernelState& state = State();
  if (poolType == PagedPool && KeGetCurrentIrql() >= DISPATCH_LEVEL) {
    ReportViolation(Rule::WrongIrql, nullptr,
                    "paged allocation of " + Bytes(numberOfBytes) + " at IRQL " +
                        std::to_string(KeGetCurrentIrql()));
  }
  if (tag != state.options.driverPoolTag) {
    ReportViolation(Rule::PoolTag, nullptr,
                    "tag " + kmodel::TagText(tag) + " on " + Bytes(numberOfBytes) +
                        "; the driver's tag is " + kmodel::TagText(state.options.driverPoolTag));
  }
  auto kind = poolType == PagedPool ? kmodel::AllocationKind::PagedPool
                                    : kmodel::AllocationKind::NonPagedPool;
  if (state.faults.ShouldFail(kind)) return nullptr;
  const kmodel::Frame* frame = kmodel::InnermostFrame();
  return state.pool.Allocate(poolType, numberOfBytes, tag, false,
                             frame ? kmodel::DescribeFrame(*frame) : std::string());
}

void ExFreePoolWithTag(PVOID block, ULONG tag) {
  FreeBlock(block, tag);
}

void ExFreePool(PVOID block) {
  FreeBlock(block, std::nullopt);
}
