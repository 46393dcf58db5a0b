#pragma once
// How one simulated panel behaves, and what it counts while it runs.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tools/panel-sim/fault_plan.h"

namespace panelsim {

struct PanelConfig {
  uint8_t machineType = 0x05;
  uint8_t version = 12;  // below 2 the identification has its short layout
  // Empty: the panel has no code. Otherwise up to 8 of 0-9 and A-Z, and update mode
  // is refused with status 0x60 until the host switches the unlock mode on.
  std::string panelCode;
  uint8_t codeOffset = 0x23;  // k of the code reply
  uint32_t restartMs = 2000;  // silence after a restart request and after text block 1
  uint32_t replyDelayMs = 0;  // turnaround before every reply
  uint32_t frameGapMs = 200;  // a half-received message is dropped after this silence
  FaultPlan faults;
};

struct PanelStats {
  uint32_t frames = 0;
  uint32_t records = 0;
  uint32_t identifications = 0;
  uint32_t restarts = 0;
  uint32_t faults = 0;           // requests a fault rule acted on
  uint32_t refusals = 0;         // requests the panel itself refused with a status
  uint32_t retransmissions = 0;  // records or blocks received again after a lost reply
  uint32_t abandonedBlocks = 0;  // binary blocks dropped part-way
  uint32_t recordErrors = 0;     // blocks the record sink could not keep
  uint64_t ignoredBytes = 0;     // noise, bytes at other line settings, bytes while silent
  bool hung = false;
};

// One line per event, for a verbose log; may be empty.
using EventLog = std::function<void(std::string_view)>;

}  // namespace panelsim
