#pragma once
// The line settings of a pseudo-terminal, read and set through its master.
//
// On Linux the terminal ioctls on a master act on the slave's settings, so the
// simulator sees the settings the host put on the slave without opening the slave
// (which the host opens exclusively). The termios2 form carries the speed as a
// number, whatever way the host set it.

#include <optional>

#include "tools/panel-sim/line_settings.h"

namespace panelsim {

// What the host's settings look like from here; nullopt when the ioctl fails.
std::optional<VisibleLine> ReadVisibleLine(int masterFd);

// Raw mode on the slave (no echo, no line editing, no character translation), 9600
// bit/s, 8 data bits: the state a host expects to find and then changes.
bool SetRawLine(int masterFd);

}  // namespace panelsim
