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

class Profile;

// Reads the six keys of section "TransEnvironment" into env (each in its field's
// width: an 8-bit field keeps the low eight bits), leaves PortNumber as the caller
// set it, then corrects the record.
void LoadTransEnvironment(TransEnvironment& env, Profile& profile);

// Brings every field into its allowed range: PortNumber 1 to 256 (else 1), BaudRate
// 9600, 19200 or 115200 (else 19200), DataLength 8, StopBit 0, Parity 0 to 2 (else
// 1), RetryCount 3, TimeOut 5000.
void CorrectTransEnvironment(TransEnvironment& env);

}  // namespace dravik
