#pragma once
// The order in which spin locks nest. An order is either declared by a test (the
// driver's documented order) or learned the first time one lock is taken while
// another is held; taking locks against a known order is reported at once, before
// it can deadlock.

#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "kernel/spin_lock.h"

namespace kmodel {

class LockGraph {
 public:
  void Name(PKSPIN_LOCK lock, std::string name);
  // Each lock comes before all that follow it.
  void DeclareOrder(std::initializer_list<PKSPIN_LOCK> order);
  // Checks taking `lock` while `held` is held; returns a description of the order
  // broken, or nothing (and then remembers held -> lock).
  std::optional<std::string> CheckAndLearn(PKSPIN_LOCK held, PKSPIN_LOCK lock);
  // Forgets what was learned about a lock (it was initialised again).
  void ForgetLearned(PKSPIN_LOCK lock);
  // Forgets everything about locks inside memory that is being freed.
  void ForgetRange(uintptr_t begin, uintptr_t end);
  std::string NameOf(PKSPIN_LOCK lock);

 private:
  struct Node {
    std::string name;
    std::set<uintptr_t> declaredAfter;
    std::set<uintptr_t> learnedAfter;
  };
  bool Reaches(uintptr_t from, uintptr_t to);
  std::string NameLocked(uintptr_t lock) const;

  std::mutex mutex_;
  std::map<uintptr_t, Node> nodes_;
};

}  // namespace kmodel
