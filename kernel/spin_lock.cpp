#include "kernel/spin_lock.h"

#include <algorithm>
#include <string>
#include <thread>

#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

using kmodel::ReportViolation;
using kmodel::Rule;
using kmodel::State;
using kmodel::Thread;

namespace {

std::string Name(PKSPIN_LOCK lock) {
  return State().locks.NameOf(lock);
}

void Acquire(PKSPIN_LOCK lock) {
  kmodel::ThreadState& thread = Thread();
  if (std::find(thread.held.begin(), thread.held.end(), lock) != thread.held.end()) {
    // Spinning here would hang for ever; a test that goes on does so without it.
    ReportViolation(Rule::LockRecursion, nullptr, Name(lock) + " is already held by this thread");
    return;
  }
  for (PKSPIN_LOCK held : thread.held) {
    if (auto broken = State().locks.CheckAndLearn(held, lock)) {
      ReportViolation(Rule::LockOrder, nullptr, *broken);
      break;
    }
  }
  while (__atomic_exchange_n(lock, 1, __ATOMIC_ACQUIRE) != 0) {
    while (__atomic_load_n(lock, __ATOMIC_RELAXED) != 0) std::this_thread::yield();
  }
  thread.held.push_back(lock);
}

void Release(PKSPIN_LOCK lock) {
  kmodel::ThreadState& thread = Thread();
  auto it = std::find(thread.held.rbegin(), thread.held.rend(), lock);
  if (it == thread.held.rend()) {
    ReportViolation(Rule::LockNotHeld, nullptr, Name(lock) + " is not held by this thread");
    return;
  }
  thread.held.erase(std::next(it).base());
  __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
}

void RequireIrql(bool ok, const std::string& what) {
  if (!ok) {
    ReportViolation(Rule::WrongIrql, nullptr, what + " at IRQL " + std::to_string(Thread().irql));
  }
}

}  // namespace

void KeInitializeSpinLock(PKSPIN_LOCK spinLock) {
  __atomic_store_n(spinLock, 0, __ATOMIC_RELAXED);
  State().locks.ForgetLearned(spinLock);
}

KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK spinLock) {
  kmodel::ThreadState& thread = Thread();
  RequireIrql(thread.irql <= DISPATCH_LEVEL, "acquiring " + Name(spinLock));
  KIRQL old = thread.irql;
  thread.irql = DISPATCH_LEVEL;
  Acquire(spinLock);
  return old;
}

void KeAcquireSpinLock(PKSPIN_LOCK spinLock, PKIRQL oldIrql) {
  *oldIrql = KeAcquireSpinLockRaiseToDpc(spinLock);
}

void KeReleaseSpinLock(PKSPIN_LOCK spinLock, KIRQL newIrql) {
  kmodel::ThreadState& thread = Thread();
  RequireIrql(thread.irql == DISPATCH_LEVEL,
              "releasing " + Name(spinLock) + " (it raised to DISPATCH_LEVEL)");
  RequireIrql(newIrql <= DISPATCH_LEVEL,
              "releasing " + Name(spinLock) + " to IRQL " + std::to_string(newIrql));
  Release(spinLock);
  kmodel::CheckNoSpinLockBelowDispatch(newIrql, "releasing " + Name(spinLock));
  thread.irql = newIrql;
}

void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK spinLock) {
  RequireIrql(Thread().irql >= DISPATCH_LEVEL, "acquiring " + Name(spinLock) + " at DPC level");
  Acquire(spinLock);
}

void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK spinLock) {
  RequireIrql(Thread().irql >= DISPATCH_LEVEL, "releasing " + Name(spinLock) + " from DPC level");
  Release(spinLock);
}
