#pragma once
// The panel's own line settings, what a pseudo-terminal lets the far end see of the
// host's, and how long a character takes on the wire.

#include <cstdint>

namespace panelsim {

enum class Parity : uint8_t { None, Odd, Even };
enum class StopBits : uint8_t { One, OneAndHalf, Two };

struct LineSettings {
  uint32_t baudRate = 9600;
  uint8_t dataBits = 8;
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
};

// The host's settings as the far end of a Linux pseudo-terminal sees them: the kernel
// keeps the speed, the stop-bit flag and the odd and stick parity flags but clears
// parity enable and forces 8 data bits. So odd parity stands out, mark and space
// parity show by their stick flag, while none and even look alike.
struct VisibleLine {
  uint32_t baudRate = 0;
  bool oddParity = false;
  bool stickParity = false;  // mark or space
  bool twoStopBits = false;
};

// Whether a panel at `own` hears a host whose settings look like `seen`.
constexpr bool HearsLine(const VisibleLine& seen, const LineSettings& own) {
  return seen.baudRate == own.baudRate && !seen.stickParity &&
         seen.oddParity == (own.parity == Parity::Odd) &&
         seen.twoStopBits == (own.stopBits != StopBits::One);
}

// Start bit, data bits, parity bit and stop bits, in half bits (one and a half stop bits).
constexpr uint32_t HalfBitsPerCharacter(const LineSettings& line) {
  const uint32_t stopHalves = line.stopBits == StopBits::One   ? 2
                              : line.stopBits == StopBits::Two ? 4
                                                               : 3;
  return 2u * (1u + line.dataBits + (line.parity == Parity::None ? 0u : 1u)) + stopHalves;
}

}  // namespace panelsim
