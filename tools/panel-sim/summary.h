#pragma once
// The report panel-sim prints on stdout as it ends.

#include <cstdint>
#include <string>

#include "tools/panel-sim/panel_config.h"
#include "tools/panel-sim/pty_transport.h"
#include "tools/panel-sim/recording.h"

namespace panelsim {

std::string FormatSummary(RunEnd end, const PanelStats& stats, const Recording& received,
                          uint32_t opens);

// The exit status for the way the run ended: 0 finished or stopped, 2 idle, 1 failed.
int ExitStatus(RunEnd end);

}  // namespace panelsim
