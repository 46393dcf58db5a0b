#pragma once
// The outcome of the latest retry decision, kept for the whole run of the program:
// a status 0x50 seen on one command changes how the time-outs of the following
// commands are treated, even across phases and connections.

#include <cstdint>

namespace dravik {

struct LastOutcomePair {
  int result = 0;
  uint32_t status = 0;  // meaningful only when result is RESULT_PANEL_STATUS

  bool operator==(const LastOutcomePair&) const = default;
};

inline LastOutcomePair LastOutcome;

// Tick count at which the latest status 0x50 handling ended: the uncounted time-outs
// that may follow it are bounded by the time since then.
inline uint32_t LastPanelWaitTick = 0;

// Back to the state at program start; for tests, which share one process.
inline void ResetLastOutcome() {
  LastOutcome = {};
  LastPanelWaitTick = 0;
}

}  // namespace dravik
