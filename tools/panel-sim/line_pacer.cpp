#include "tools/panel-sim/line_pacer.h"

namespace panelsim {

namespace {

constexpr uint64_t kHalfBitNsNumerator = 500'000'000;  // 1e9 ns / 2 half bits
// Long stretches are rebased now and then so that the products stay far from overflow.
constexpr uint64_t kRebaseAfter = 1u << 20;

}  // namespace

LinePacer::LinePacer(const LineSettings& line)
    : halfBits_(HalfBitsPerCharacter(line)), baudRate_(line.baudRate == 0 ? 1 : line.baudRate) {}

uint64_t LinePacer::Schedule(uint64_t nowNs) {
  if (nowNs >= freeAtNs_) {
    runStartNs_ = nowNs;
    runCharacters_ = 0;
  } else if (runCharacters_ >= kRebaseAfter) {
    runStartNs_ = freeAtNs_;
    runCharacters_ = 0;
  }
  ++runCharacters_;
  freeAtNs_ = runStartNs_ + runCharacters_ * halfBits_ * kHalfBitNsNumerator / baudRate_;
  return freeAtNs_;
}

}  // namespace panelsim
