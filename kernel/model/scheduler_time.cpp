// The model's clock and timer queue: virtual or real time, expiry on tick
// boundaries, and the test's control of virtual time.
#include <algorithm>

#include "kernel/model/scheduler.h"

namespace kmodel {

int64_t Scheduler::Now() {
  std::lock_guard guard(mutex_);
  return NowLocked();
}

int64_t Scheduler::NowLocked() {
  if (Virtual()) return virtualNow_;
  auto elapsed = std::chrono::steady_clock::now() - realStart_;
  return kModelStartTime +
         std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>>(
             elapsed)
             .count();
}

std::chrono::steady_clock::time_point Scheduler::RealPoint(int64_t moment) const {
  return realStart_ +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>(moment - kModelStartTime));
}

int64_t Scheduler::ExpiryFor(int64_t dueTime) {
  int64_t now = NowLocked();
  int64_t due = dueTime < 0 ? now - dueTime : dueTime;
  int64_t tick = options_.tick;
  int64_t expiry = (due + tick - 1) / tick * tick;
  if (expiry <= now) expiry = (now / tick + 1) * tick;
  return expiry;
}

bool Scheduler::SetTimer(PKTIMER timer, int64_t dueTime, PKDPC dpc) {
  bool wasSet;
  {
    std::lock_guard guard(mutex_);
    wasSet = timer->QueueKey != 0;
    if (wasSet) timers_.erase({timer->DueTime.QuadPart, timer->QueueKey});
    timer->DueTime.QuadPart = ExpiryFor(dueTime);
    timer->Dpc = dpc;
    timer->Header.SignalState = 0;
    timer->QueueKey = nextKey_++;
    timers_[{timer->DueTime.QuadPart, timer->QueueKey}] = TimerEntry{timer, {}};
  }
  changed_.notify_all();
  return wasSet;
}

bool Scheduler::CancelTimer(PKTIMER timer) {
  std::lock_guard guard(mutex_);
  if (timer->QueueKey == 0) return false;
  timers_.erase({timer->DueTime.QuadPart, timer->QueueKey});
  timer->QueueKey = 0;
  return true;
}

uint64_t Scheduler::ScheduleCallback(int64_t at, std::function<void()> work) {
  uint64_t key;
  {
    std::lock_guard guard(mutex_);
    key = nextKey_++;
    timers_[{std::max(at, NowLocked()), key}] = TimerEntry{nullptr, std::move(work)};
  }
  changed_.notify_all();
  return key;
}

bool Scheduler::CancelCallback(uint64_t id) {
  std::lock_guard guard(mutex_);
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->first.second == id && !it->second.timer) {
      timers_.erase(it);
      return true;
    }
  }
  return false;
}

void Scheduler::ExpireLocked(int64_t upTo) {
  bool any = false;
  while (!timers_.empty() && timers_.begin()->first.first <= upTo) {
    TimerEntry entry = std::move(timers_.begin()->second);
    timers_.erase(timers_.begin());
    any = true;
    if (PKTIMER timer = entry.timer) {
      timer->QueueKey = 0;
      timer->Header.SignalState = 1;
      LARGE_INTEGER when = timer->DueTime;
      if (timer->Dpc) {
        InsertDpcLocked(timer->Dpc, reinterpret_cast<PVOID>(static_cast<uintptr_t>(when.u.LowPart)),
                        reinterpret_cast<PVOID>(static_cast<uintptr_t>(when.u.HighPart)));
      }
    } else {
      Work work;
      work.work = std::move(entry.work);
      dispatchQueue_.push_back(std::move(work));
    }
  }
  if (any) changed_.notify_all();
}

void Scheduler::AdvanceTo(int64_t moment) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (Inline()) {
      while (RunOneInline(lock)) {
      }
    } else {
      WaitIdleLocked(lock);
    }
    if (!Virtual() || timers_.empty() || timers_.begin()->first.first > moment) break;
    virtualNow_ = std::max(virtualNow_, timers_.begin()->first.first);
    ExpireLocked(virtualNow_);
  }
  if (Virtual()) virtualNow_ = std::max(virtualNow_, moment);
}

void Scheduler::ClockLoop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    ExpireLocked(NowLocked());
    if (timers_.empty()) {
      changed_.wait(lock);
    } else {
      changed_.wait_until(lock, RealPoint(timers_.begin()->first.first));
    }
  }
}

bool Scheduler::TimerQueued(PKTIMER timer) {
  std::lock_guard guard(mutex_);
  if (timer->QueueKey == 0) return false;
  auto it = timers_.find({timer->DueTime.QuadPart, timer->QueueKey});
  return it != timers_.end() && it->second.timer == timer;
}

std::string Scheduler::RemoveQueuedObjectsIn(uintptr_t begin, uintptr_t end) {
  auto inside = [&](const void* object) {
    auto address = reinterpret_cast<uintptr_t>(object);
    return object && address >= begin && address < end;
  };
  auto describe = [&](const char* what, const void* object) {
    return std::string(what) + " at offset " +
           std::to_string(reinterpret_cast<uintptr_t>(object) - begin) + "; ";
  };
  std::string found;
  std::lock_guard guard(mutex_);
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (inside(it->second.timer)) {
      found += describe("a set timer", it->second.timer);
      it->second.timer->QueueKey = 0;
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = dispatchQueue_.begin(); it != dispatchQueue_.end();) {
    if (inside(it->dpc)) {
      found += describe("a queued DPC", it->dpc);
      it->dpc->DpcData = nullptr;
      it = dispatchQueue_.erase(it);
    } else {
      ++it;
    }
  }
  return found;
}

}  // namespace kmodel
