#include "downloader/platform/clock.h"

#include <chrono>
#include <thread>

namespace dravik {

namespace {
using Steady = std::chrono::steady_clock;
const Steady::time_point kStart = Steady::now();

int64_t MillisecondsSinceStart() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - kStart).count();
}
}  // namespace

uint32_t SteadyClock::TickCount() { return static_cast<uint32_t>(MillisecondsSinceStart()); }

int64_t SteadyClock::ProcessClock() { return MillisecondsSinceStart(); }

void SteadyClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace dravik
