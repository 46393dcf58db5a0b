#pragma once
// The serial settings of one download run.

#include <cstdint>

namespace dravik {

struct TransEnvironment {
  uint16_t PortNumber = 0;  // COM1 is 1
  uint32_t BaudRate = 0;    // bit/s
  uint8_t DataLength = 0;   // data bits
  uint8_t StopBit = 0;      // 0 = one stop bit
  uint8_t Parity = 0;       // 0 = none, 1 = odd, 2 = even
  uint8_t RetryCount = 0;   // repeats of a failed exchange
  uint32_t TimeOut = 0;     // ms, limit of one serial read or write

  bool operator==(const TransEnvironment&) const = default;
};

}  // namespace dravik
