#pragma once
// The pool's bookkeeping: every block with its size, tag, kind and where it was
// allocated, so that leaks can be reported by tag and size.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/pool.h"

namespace kmodel {

struct PoolBlock {
  uintptr_t address = 0;
  size_t size = 0;
  ULONG tag = 0;
  POOL_TYPE type = NonPagedPool;
  uint64_t serial = 0;
  // Allocated by a kernel service on the driver's behalf (the tag rule does not apply).
  bool system = false;
  std::string where;
};

std::string TagText(ULONG tag);
std::string DescribeBlock(const PoolBlock& block);

class PoolTracker {
 public:
  ~PoolTracker();
  // The block is filled with a pattern, not zeroed, as pool memory is.
  void* Allocate(POOL_TYPE type, size_t size, ULONG tag, bool system, std::string where);
  // The block's record, if the address starts a live block.
  std::optional<PoolBlock> Find(const void* address);
  void Release(const void* address);
  std::vector<PoolBlock> Outstanding();
  size_t BlocksInUse();
  // Frees every block still allocated, without a report.
  void ReleaseAll();

 private:
  std::mutex mutex_;
  std::map<uintptr_t, PoolBlock> blocks_;
  uint64_t serial_ = 0;
};

}  // namespace kmodel
