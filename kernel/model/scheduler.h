#pragma once
// The model's processors and clock: the DPC queue, the queue of passive work (the
// system worker), the timer queue, dispatcher objects and waits. One lock (the
// dispatcher lock) guards all of it; driver code never runs under it.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kernel/model/options.h"
#include "kernel/timer.h"

namespace kmodel {

// The system time at which every model kernel starts: 1 January 2024, 00:00 UTC, in
// 100-ns units since 1601.
inline constexpr int64_t kModelStartTime = (134774 + 54 * 365 + 13) * 864'000'000'000;

class Scheduler {
 public:
  explicit Scheduler(const KernelOptions& options);
  ~Scheduler();
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  // Starts the model threads (threaded mode, real clock); Stop joins them and drops
  // any work still queued.
  void Start();
  void Stop();

  // System time, 100-ns units since 1601.
  int64_t Now();
  // Absolute expiry for a KeSetTimer-style due time (negative relative, positive
  // absolute), on the tick boundary at or after it and always after now.
  int64_t ExpiryFor(int64_t dueTime);

  bool SetTimer(PKTIMER timer, int64_t dueTime, PKDPC dpc);
  bool CancelTimer(PKTIMER timer);
  // Model work (for instance a bus driver's completion) run at DISPATCH_LEVEL once
  // the clock reaches `at`; returns an id for CancelCallback.
  uint64_t ScheduleCallback(int64_t at, std::function<void()> work);
  bool CancelCallback(uint64_t id);

  bool InsertDpc(PKDPC dpc, PVOID argument1, PVOID argument2);
  bool RemoveDpc(PKDPC dpc);
  void QueueDispatch(std::function<void()> work);
  void QueuePassive(std::function<void()> work);
  // Returns once the DPC queue has drained and no processor runs a DPC.
  void FlushDpcs();

  LONG SetSignal(DISPATCHER_HEADER* header, LONG state);
  LONG ReadSignal(DISPATCHER_HEADER* header);
  // deadline: absolute time, or nothing for no limit; poll: a zero time-out.
  NTSTATUS Wait(DISPATCHER_HEADER* header, std::optional<int64_t> deadline, bool poll);

  // Test controls.
  void AdvanceTo(int64_t moment);
  // Runs (inline) or waits for (threaded) everything queued until the model is idle.
  void RunUntilIdle();
  bool TimerQueued(PKTIMER timer);
  // Takes the timers and DPCs that lie in [begin, end) off their queues and describes
  // them; empty if none.
  std::string RemoveQueuedObjectsIn(uintptr_t begin, uintptr_t end);

 private:
  struct TimerEntry {
    PKTIMER timer = nullptr;
    std::function<void()> work;
  };
  struct Work {
    PKDPC dpc = nullptr;
    PKDEFERRED_ROUTINE routine = nullptr;
    PVOID context = nullptr;
    PVOID argument1 = nullptr;
    PVOID argument2 = nullptr;
    std::function<void()> work;
  };
  using TimerKey = std::pair<int64_t, uint64_t>;

  bool Inline() const { return options_.processors == ProcessorMode::Inline; }
  bool Virtual() const { return options_.clock == ClockMode::Virtual; }
  int64_t NowLocked();
  bool IdleLocked() const;
  bool RunnableLocked(bool passiveAllowed) const;
  void ExpireLocked(int64_t upTo);
  bool InsertDpcLocked(PKDPC dpc, PVOID argument1, PVOID argument2);
  Work PopLocked(std::deque<Work>& queue);
  void Enqueue(std::deque<Work>& queue, std::function<void()> work);
  // Inline mode: runs one queued item on this thread; false when none could run.
  bool RunOneInline(std::unique_lock<std::mutex>& lock);
  void RunWork(Work& work, bool passive);
  void ProcessorLoop(bool passive);
  void ClockLoop();
  void WaitIdleLocked(std::unique_lock<std::mutex>& lock);
  std::chrono::steady_clock::time_point RealPoint(int64_t moment) const;
  static bool Signalled(const DISPATCHER_HEADER* header);
  static void Consume(DISPATCHER_HEADER* header);
  // One step of a wait that cannot be satisfied yet: run or await work, or move the
  // clock. Returns false when nothing can ever happen (a deadlock in inline mode).
  bool StepWhileWaiting(std::unique_lock<std::mutex>& lock, std::optional<int64_t> deadline);

  const KernelOptions options_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t virtualNow_;
  std::chrono::steady_clock::time_point realStart_;
  std::map<TimerKey, TimerEntry> timers_;
  uint64_t nextKey_ = 1;
  std::deque<Work> dispatchQueue_;
  std::deque<Work> passiveQueue_;
  int busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kmodel
