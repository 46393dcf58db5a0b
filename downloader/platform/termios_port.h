#pragma once
// The byte port on a Linux tty: a serial device, a USB serial adapter or a
// pseudo-terminal.
//
// The open is exclusive twice over: TIOCEXCL keeps other programs out (except
// root), and an flock on the device keeps a second open by this program out even
// as root. The line is put in raw binary mode at once and stale input from before
// the open is dropped, as a fresh handle on the original platform starts empty.
//
// Reads wait with poll for the time the port's read time-outs give one byte. A
// write waits until the device takes something and reports what it took; with no
// write time-out set it waits at most kWriteSlice, then reports 0 bytes, so a line
// held by flow control never hangs the caller, whose own deadline decides.

#include <chrono>
#include <memory>
#include <string>

#include "downloader/platform/byte_port.h"

namespace dravik {

inline constexpr std::chrono::milliseconds kWriteSlice{100};

// Opens the tty at path; null on failure with the reason in error.
std::unique_ptr<BytePort> OpenTermiosPort(const std::string& path, PortError* error);

}  // namespace dravik
