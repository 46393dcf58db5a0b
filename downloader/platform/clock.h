#pragma once
// Clocks of the downloader: the 32-bit millisecond tick counter (GetTickCount),
// the process clock (clock(), 1000 ticks a second) and a way to wait. Tests use a
// virtual clock, so a 30 s protocol pause costs no real time.

#include <atomic>
#include <cstdint>

namespace dravik {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some start; wraps after about 49.7 days.
  virtual uint32_t TickCount() = 0;
  // Process clock in milliseconds (CLOCKS_PER_SEC 1000 on the original platform).
  virtual int64_t ProcessClock() = 0;
  // Waits about ms milliseconds. The virtual clock advances instead.
  virtual void Sleep(uint32_t ms) = 0;
};

// Real time from the steady clock.
class SteadyClock final : public Clock {
 public:
  uint32_t TickCount() override;
  int64_t ProcessClock() override;
  void Sleep(uint32_t ms) override;
};

// Virtual time for tests: moves only when told to (Advance) or when someone waits
// (Sleep, or a test double that models a blocking read). Thread-safe so a helper
// thread may advance it.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint64_t startMs = 0) : now_(startMs) {}
  uint32_t TickCount() override { return static_cast<uint32_t>(now_.load()); }
  int64_t ProcessClock() override { return static_cast<int64_t>(now_.load()); }
  void Sleep(uint32_t ms) override { now_ += ms; }
  void Advance(uint64_t ms) { now_ += ms; }
  uint64_t NowMs() const { return now_.load(); }
  // Total of all Sleep/Advance calls so far, for asserting pauses.
 private:
  std::atomic<uint64_t> now_;
};

}  // namespace dravik
