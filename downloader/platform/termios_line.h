#pragma once
// Translators between the Win32-shaped LineState and termios. termios holds the
// speed, the character format, parity checking, XON/XOFF and CTS flow and the
// XON/XOFF characters; the port keeps the other LineState fields itself.

#include <termios.h>

#include <cstdint>
#include <optional>

#include "downloader/platform/byte_port.h"

namespace dravik {

// The termios speed constant of a rate in bit/s; nullopt for rates it has none for.
std::optional<speed_t> SpeedConstant(uint32_t baudRate);
// The rate of a termios speed constant; 0 for B0 or an unknown constant.
uint32_t BaudRateOf(speed_t speed);

// Puts state's device fields on t, leaving every other termios field alone. False
// when the state asks for something a Linux tty cannot do (a rate without a speed
// constant, DSR flow or sensitivity, DTR handshake, RTS toggle, error or NUL
// replacement, text mode, equal XON and XOFF characters, 1.5 stop bits without 5
// data bits, 2 stop bits with 5); t is then unspecified.
bool ApplyLineState(const LineState& state, termios& t);

// Overwrites state's device fields with what t holds. CTS flow reads as
// fOutxCtsFlow; RTS handshake is kept only while t still has CTS flow.
void ReadLineState(const termios& t, LineState& state);

// Whether the device kept what was asked. A pseudo-terminal has no wire: it always
// clears parity enable and forces 8 data bits, so those are not compared there.
bool DeviceKeptLineState(const termios& asked, const termios& got, bool pseudoTerminal);

// Raw binary mode: no echo, no line editing, no character translation, no signals,
// no flow control, reads that return what is there (the port waits with poll).
void MakeRaw(termios& t);

}  // namespace dravik
