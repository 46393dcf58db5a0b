#pragma once
// Faults the panel injects into chosen requests. A rule names a command (or the text
// records), the occurrence of that command it starts at, how many occurrences in a
// row it affects, and one action. Occurrences count every such request the panel
// heard, retries included, over the whole run.
//
// Text form, for the command line: comma-separated, e.g.
//   "cmd=packet,at=2,drop"   "cmd=update-mode,times=3,status=0x11"   "cmd=0x20,at=2,hang"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/panel-sim/protocol.h"

namespace panelsim {

enum class FaultKind {
  Status,       // refuse the request with this status; nothing is executed
  Drop,         // execute, send no reply
  BadBcc,       // execute, corrupt the reply's block check
  WrongEcho,    // execute, echo another command code
  WrongNumber,  // execute, echo another packet number
  Stray,        // execute, send value junk bytes before the reply
  Trail,        // execute, send value junk bytes after the reply
  Type,         // identification reports machine type value
  Delay,        // execute, send the reply value ms late
  Hang,         // execute and answer, then never answer again (a restart that never ends)
};

struct FaultAction {
  FaultKind kind = FaultKind::Drop;
  uint32_t value = 0;

  bool operator==(const FaultAction&) const = default;
};

struct FaultRule {
  int selector = 0;    // command code, or kRecordSelector
  uint32_t first = 1;  // first occurrence affected, counting from 1
  uint32_t times = 1;  // occurrences affected in a row; 0 = all from first on
  FaultAction action;

  bool operator==(const FaultRule&) const = default;
};

// The rule in text form; nullopt with a message naming the bad part.
std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string* error);
// "status=0x11", "drop", ... for logs.
std::string DescribeFault(const FaultAction& action);

class FaultPlan {
 public:
  void Add(const FaultRule& rule) { rules_.push_back(rule); }
  bool Empty() const { return rules_.empty(); }
  // Counts one more occurrence of the selector and returns the action of the first
  // rule that covers it.
  std::optional<FaultAction> Next(int selector);

 private:
  std::vector<FaultRule> rules_;
  std::array<uint32_t, kSelectorCount> counts_{};
};

}  // namespace panelsim
