#pragma once
// The device name of a COM port by number: \\.\COM3, \\.\COM12, \\.\COM256. The
// \\.\ prefix is what makes ports above 9 reachable on the original platform, and
// the byte port resolves the same names here.

#include <cstdint>
#include <string>

namespace dravik {

inline std::string PortDeviceName(uint16_t portNumber) {
  return "\\\\.\\COM" + std::to_string(portNumber);
}

}  // namespace dravik
