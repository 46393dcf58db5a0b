#include "kernel/model/lock_graph.h"

#include <cstdio>
#include <vector>

namespace kmodel {
namespace {

uintptr_t Key(PKSPIN_LOCK lock) {
  return reinterpret_cast<uintptr_t>(lock);
}

}  // namespace

void LockGraph::Name(PKSPIN_LOCK lock, std::string name) {
  std::lock_guard guard(mutex_);
  nodes_[Key(lock)].name = std::move(name);
}

void LockGraph::DeclareOrder(std::initializer_list<PKSPIN_LOCK> order) {
  std::lock_guard guard(mutex_);
  for (auto earlier = order.begin(); earlier != order.end(); ++earlier) {
    for (auto later = earlier + 1; later != order.end(); ++later) {
      nodes_[Key(*earlier)].declaredAfter.insert(Key(*later));
    }
  }
}

bool LockGraph::Reaches(uintptr_t from, uintptr_t to) {
  std::set<uintptr_t> seen;
  std::vector<uintptr_t> pending{from};
  while (!pending.empty()) {
    uintptr_t at = pending.back();
    pending.pop_back();
    if (at == to) return true;
    if (!seen.insert(at).second) continue;
    auto it = nodes_.find(at);
    if (it == nodes_.end()) continue;
    for (uintptr_t next : it->second.declaredAfter) pending.push_back(next);
    for (uintptr_t next : it->second.learnedAfter) pending.push_back(next);
  }
  return false;
}

std::optional<std::string> LockGraph::CheckAndLearn(PKSPIN_LOCK held, PKSPIN_LOCK lock) {
  std::lock_guard guard(mutex_);
  if (Reaches(Key(lock), Key(held))) {
    return NameLocked(Key(lock)) + " taken while holding " + NameLocked(Key(held)) + ", but " +
           NameLocked(Key(lock)) + " comes before " + NameLocked(Key(held));
  }
  nodes_[Key(held)].learnedAfter.insert(Key(lock));
  return std::nullopt;
}

void LockGraph::ForgetLearned(PKSPIN_LOCK lock) {
  std::lock_guard guard(mutex_);
  uintptr_t key = Key(lock);
  for (auto& [address, node] : nodes_) node.learnedAfter.erase(key);
  auto it = nodes_.find(key);
  if (it != nodes_.end()) it->second.learnedAfter.clear();
}

void LockGraph::ForgetRange(uintptr_t begin, uintptr_t end) {
  std::lock_guard guard(mutex_);
  nodes_.erase(nodes_.lower_bound(begin), nodes_.lower_bound(end));
  for (auto& [address, node] : nodes_) {
    node.declaredAfter.erase(node.declaredAfter.lower_bound(begin),
                             node.declaredAfter.lower_bound(end));
    node.learnedAfter.erase(node.learnedAfter.lower_bound(begin),
                            node.learnedAfter.lower_bound(end));
  }
}

std::string LockGraph::NameOf(PKSPIN_LOCK lock) {
  std::lock_guard guard(mutex_);
  return NameLocked(Key(lock));
}

std::string LockGraph::NameLocked(uintptr_t lock) const {
  auto it = nodes_.find(lock);
  if (it != nodes_.end() && !it->second.name.empty()) return it->second.name;
  char text[32];
  std::snprintf(text, sizeof text, "spin lock 0x%llx", static_cast<unsigned long long>(lock));
  return text;
}

}  // namespace kmodel
