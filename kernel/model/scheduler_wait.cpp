// Dispatcher objects and waits. A thread that must wait drives the model meanwhile:
// in inline mode it runs the queued work itself, and with the virtual clock it moves
// time on to the next timer (or to its own time-out) once nothing else can happen.
#include <algorithm>

#include "kernel/model/context.h"
#include "kernel/model/scheduler.h"
#include "kernel/model/verifier.h"

namespace kmodel {
namespace {

// Header types of the objects the model knows.
constexpr UCHAR kSynchronizationEvent = 1;
constexpr UCHAR kSynchronizationTimer = 9;

}  // namespace

bool Scheduler::Signalled(const DISPATCHER_HEADER* header) {
  return header->SignalState != 0;
}

void Scheduler::Consume(DISPATCHER_HEADER* header) {
  if (header->Type == kSynchronizationEvent || header->Type == kSynchronizationTimer) {
    header->SignalState = 0;
  }
}

LONG Scheduler::SetSignal(DISPATCHER_HEADER* header, LONG state) {
  LONG previous;
  {
    std::lock_guard guard(mutex_);
    previous = header->SignalState;
    header->SignalState = state;
  }
  if (state) changed_.notify_all();
  return previous;
}

LONG Scheduler::ReadSignal(DISPATCHER_HEADER* header) {
  std::lock_guard guard(mutex_);
  return header->SignalState;
}

NTSTATUS Scheduler::Wait(DISPATCHER_HEADER* header, std::optional<int64_t> deadline, bool poll) {
  ThreadState& thread = Thread();
  std::unique_lock lock(mutex_);
  bool lifted = thread.countedBusy;
  if (lifted) {
    --busy_;
    thread.countedBusy = false;
    changed_.notify_all();
  }
  NTSTATUS result = STATUS_TIMEOUT;
  bool deadlocked = false;
  for (;;) {
    if (Signalled(header)) {
      Consume(header);
      result = STATUS_SUCCESS;
      break;
    }
    if (poll || (deadline && NowLocked() >= *deadline)) break;
    if (!StepWhileWaiting(lock, deadline)) {
      deadlocked = true;
      break;
    }
  }
  if (lifted) {
    ++busy_;
    thread.countedBusy = true;
  }
  lock.unlock();
  if (deadlocked) {
    ReportViolation(Rule::Deadlock, nullptr,
                    "a wait without a time-out on an object that is not signalled, with no "
                    "DPC, work or timer left in the model to signal it");
  }
  return result;
}

bool Scheduler::StepWhileWaiting(std::unique_lock<std::mutex>& lock,
                                 std::optional<int64_t> deadline) {
  if (Inline()) {
    if (!Virtual()) ExpireLocked(NowLocked());
    if (RunOneInline(lock)) return true;
  } else if (!IdleLocked()) {
    changed_.wait(lock);
    return true;
  }
  std::optional<int64_t> next;
  if (!timers_.empty() && (Inline() || Virtual())) next = timers_.begin()->first.first;
  std::optional<int64_t> target = next;
  if (deadline && (!target || *deadline < *target)) target = deadline;
  if (Virtual()) {
    if (target && options_.autoAdvance) {
      virtualNow_ = std::max(virtualNow_, *target);
      ExpireLocked(virtualNow_);
      return true;
    }
    if (Inline()) return false;
    changed_.wait(lock);
    return true;
  }
  if (target) {
    changed_.wait_until(lock, RealPoint(*target));
  } else {
    changed_.wait(lock);
  }
  return true;
}

}  // namespace kmodel
