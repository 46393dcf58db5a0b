#pragma once
// How the Win32 read time-outs bound a one-byte read, for ports that wait with poll.

#include <chrono>
#include <optional>

#include "downloader/platform/byte_port.h"

namespace dravik {

// How long a one-byte read waits for its byte; nullopt for no limit. The interval
// time-out starts only after a first byte, so for one byte it never counts, except
// in the MAXDWORD forms that mean "return at once" or "wait only the constant".
//   interval MAXDWORD, multiplier 0, constant 0          -> 0 (return what is there)
//   interval MAXDWORD, multiplier MAXDWORD, constant c   -> c (no limit for c MAXDWORD)
//   multiplier 0 and constant 0 otherwise                -> no limit
//   otherwise                                            -> multiplier + constant
std::optional<std::chrono::milliseconds> OneByteReadLimit(const PortTimeouts& timeouts);

}  // namespace dravik
