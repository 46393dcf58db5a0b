#pragma once
// What a fault action does to a reply on its way out.

#include <cstdint>
#include <vector>

#include "tools/panel-sim/fault_plan.h"

namespace panelsim {

// Changes the reply frame (emptied for a dropped reply) and its due time as the
// action says. True when the host may not get the reply intact; actions that do not
// touch the reply (status, type, hang) leave both alone and return false.
bool AlterReply(const FaultAction& action, std::vector<uint8_t>& frame, int64_t& dueMs);

}  // namespace panelsim
