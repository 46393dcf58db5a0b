// The model's processors: queues of DPCs and passive work, the threads that run
// them, and the inline mode in which the driving thread runs them itself.
#include "kernel/model/scheduler.h"

#include "kernel/irql.h"
#include "kernel/model/context.h"

namespace kmodel {

Scheduler::Scheduler(const KernelOptions& options)
    : options_(options),
      virtualNow_(kModelStartTime),
      realStart_(std::chrono::steady_clock::now()) {}

Scheduler::~Scheduler() {
  Stop();
}

void Scheduler::Start() {
  if (!Inline()) {
    for (int i = 0; i < options_.processorCount; ++i) {
      threads_.emplace_back([this] { ProcessorLoop(false); });
    }
    threads_.emplace_back([this] { ProcessorLoop(true); });
  }
  if (!Inline() && !Virtual()) threads_.emplace_back([this] { ClockLoop(); });
}

void Scheduler::Stop() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
    dispatchQueue_.clear();
    passiveQueue_.clear();
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

bool Scheduler::IdleLocked() const {
  return dispatchQueue_.empty() && passiveQueue_.empty() && busy_ == 0;
}

bool Scheduler::RunnableLocked(bool passiveAllowed) const {
  return !dispatchQueue_.empty() || (passiveAllowed && !passiveQueue_.empty());
}

bool Scheduler::InsertDpc(PKDPC dpc, PVOID argument1, PVOID argument2) {
  bool inserted;
  {
    std::lock_guard guard(mutex_);
    inserted = InsertDpcLocked(dpc, argument1, argument2);
  }
  if (inserted) changed_.notify_all();
  return inserted;
}

bool Scheduler::InsertDpcLocked(PKDPC dpc, PVOID argument1, PVOID argument2) {
  if (dpc->DpcData != nullptr) return false;
  dpc->DpcData = this;
  dpc->SystemArgument1 = argument1;
  dpc->SystemArgument2 = argument2;
  Work work;
  work.dpc = dpc;
  dispatchQueue_.push_back(std::move(work));
  return true;
}

bool Scheduler::RemoveDpc(PKDPC dpc) {
  std::lock_guard guard(mutex_);
  if (dpc->DpcData == nullptr) return false;
  for (auto it = dispatchQueue_.begin(); it != dispatchQueue_.end(); ++it) {
    if (it->dpc == dpc) {
      dispatchQueue_.erase(it);
      break;
    }
  }
  dpc->DpcData = nullptr;
  return true;
}

void Scheduler::QueueDispatch(std::function<void()> work) {
  Enqueue(dispatchQueue_, std::move(work));
}

void Scheduler::QueuePassive(std::function<void()> work) {
  Enqueue(passiveQueue_, std::move(work));
}

void Scheduler::Enqueue(std::deque<Work>& queue, std::function<void()> work) {
  {
    std::lock_guard guard(mutex_);
    Work item;
    item.work = std::move(work);
    queue.push_back(std::move(item));
  }
  changed_.notify_all();
}

// A DPC's routine and arguments are read when it leaves the queue, as a processor
// does; from then on the KDPC may be queued again, even by its own routine.
Scheduler::Work Scheduler::PopLocked(std::deque<Work>& queue) {
  Work work = std::move(queue.front());
  queue.pop_front();
  if (work.dpc) {
    work.routine = work.dpc->DeferredRoutine;
    work.context = work.dpc->DeferredContext;
    work.argument1 = work.dpc->SystemArgument1;
    work.argument2 = work.dpc->SystemArgument2;
    work.dpc->DpcData = nullptr;
  }
  return work;
}

bool Scheduler::RunOneInline(std::unique_lock<std::mutex>& lock) {
  ThreadState& thread = Thread();
  if (thread.irql >= DISPATCH_LEVEL) return false;
  bool passive = dispatchQueue_.empty();
  if (passive && (thread.irql != PASSIVE_LEVEL || passiveQueue_.empty())) return false;
  Work work = PopLocked(passive ? passiveQueue_ : dispatchQueue_);
  ++busy_;
  lock.unlock();
  RunWork(work, passive);
  lock.lock();
  --busy_;
  changed_.notify_all();
  return true;
}

void Scheduler::RunWork(Work& work, bool passive) {
  ThreadState& thread = Thread();
  KIRQL saved = thread.irql;
  // Work run inline by a waiting thread is another context: it must not be taken for
  // part of the driver routine that waits.
  std::vector<Frame*> outerFrames;
  outerFrames.swap(thread.frames);
  thread.irql = passive ? PASSIVE_LEVEL : DISPATCH_LEVEL;
  if (work.dpc) {
    Frame frame{FrameKind::Dpc};
    frame.routine = RoutineAddress(work.routine);
    FrameScope scope(frame);
    work.routine(work.dpc, work.context, work.argument1, work.argument2);
    CheckBalancedOnReturn(frame);
  } else {
    work.work();
  }
  thread.irql = saved;
  thread.frames.swap(outerFrames);
}

void Scheduler::ProcessorLoop(bool passive) {
  ThreadState& thread = Thread();
  thread.isModelThread = true;
  std::deque<Work>& queue = passive ? passiveQueue_ : dispatchQueue_;
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !queue.empty(); });
    if (stopping_) return;
    Work work = PopLocked(queue);
    ++busy_;
    thread.countedBusy = true;
    lock.unlock();
    RunWork(work, passive);
    lock.lock();
    thread.countedBusy = false;
    --busy_;
    changed_.notify_all();
  }
}

void Scheduler::WaitIdleLocked(std::unique_lock<std::mutex>& lock) {
  ThreadState& thread = Thread();
  bool lifted = thread.countedBusy;
  if (lifted) {
    --busy_;
    thread.countedBusy = false;
  }
  changed_.wait(lock, [&] { return IdleLocked(); });
  if (lifted) {
    ++busy_;
    thread.countedBusy = true;
  }
}

void Scheduler::RunUntilIdle() {
  std::unique_lock lock(mutex_);
  if (Inline()) {
    do {
      if (!Virtual()) ExpireLocked(NowLocked());
    } while (RunOneInline(lock));
  } else {
    WaitIdleLocked(lock);
  }
}

void Scheduler::FlushDpcs() {
  std::unique_lock lock(mutex_);
  if (Inline()) {
    while (!dispatchQueue_.empty() && RunOneInline(lock)) {
    }
  } else {
    WaitIdleLocked(lock);
  }
}

}  // namespace kmodel
