#pragma once
// Paces one direction of a serial line: each character handed over is on the far side
// only when its last bit has crossed the wire. Characters queue behind one another
// while the line is busy; an idle line starts afresh. The schedule is kept from the
// start of each busy stretch, so rounding never adds up over a long block.

#include <cstdint>

#include "tools/panel-sim/line_settings.h"

namespace panelsim {

class LinePacer {
 public:
  explicit LinePacer(const LineSettings& line);

  // The time (ns, any steady origin) at which a character handed over at nowNs has
  // fully arrived.
  uint64_t Schedule(uint64_t nowNs);
  uint64_t FreeAtNs() const { return freeAtNs_; }

 private:
  uint64_t halfBits_;
  uint64_t baudRate_;
  uint64_t runStartNs_ = 0;
  uint64_t runCharacters_ = 0;
  uint64_t freeAtNs_ = 0;
};

}  // namespace panelsim
