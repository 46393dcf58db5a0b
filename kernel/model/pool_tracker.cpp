#include "kernel/model/pool_tracker.h"

#include <cstring>
#include <new>

namespace kmodel {
namespace {

constexpr std::align_val_t kAlignment{16};
constexpr unsigned char kFreshPattern = 0xA5;

}  // namespace

std::string TagText(ULONG tag) {
  std::string text = "\"";
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>(tag >> (8 * i));
    text += c >= 0x20 && c < 0x7f ? c : '?';
  }
  return text + "\"";
}

std::string DescribeBlock(const PoolBlock& block) {
  std::string text = "tag " + TagText(block.tag) + ", " + std::to_string(block.size) + " bytes " +
                     (block.type == PagedPool ? "paged" : "non-paged") + ", allocation #" +
                     std::to_string(block.serial);
  if (!block.where.empty()) text += " in " + block.where;
  return text;
}

PoolTracker::~PoolTracker() {
  ReleaseAll();
}

void* PoolTracker::Allocate(POOL_TYPE type, size_t size, ULONG tag, bool system,
                            std::string where) {
  void* memory = ::operator new(size == 0 ? 1 : size, kAlignment);
  std::memset(memory, kFreshPattern, size);
  std::lock_guard guard(mutex_);
  auto address = reinterpret_cast<uintptr_t>(memory);
  blocks_[address] = PoolBlock{address, size, tag, type, ++serial_, system, std::move(where)};
  return memory;
}

std::optional<PoolBlock> PoolTracker::Find(const void* address) {
  std::lock_guard guard(mutex_);
  auto it = blocks_.find(reinterpret_cast<uintptr_t>(address));
  if (it == blocks_.end()) return std::nullopt;
  return it->second;
}

void PoolTracker::Release(const void* address) {
  {
    std::lock_guard guard(mutex_);
    blocks_.erase(reinterpret_cast<uintptr_t>(address));
  }
  ::operator delete(const_cast<void*>(address), kAlignment);
}

std::vector<PoolBlock> PoolTracker::Outstanding() {
  std::lock_guard guard(mutex_);
  std::vector<PoolBlock> list;
  for (const auto& [address, block] : blocks_) list.push_back(block);
  return list;
}

size_t PoolTracker::BlocksInUse() {
  std::lock_guard guard(mutex_);
  return blocks_.size();
}

void PoolTracker::ReleaseAll() {
  std::map<uintptr_t, PoolBlock> blocks;
  {
    std::lock_guard guard(mutex_);
    blocks.swap(blocks_);
  }
  for (const auto& [address, block] : blocks) {
    ::operator delete(reinterpret_cast<void*>(address), kAlignment);
  }
}

}  // namespace kmodel
