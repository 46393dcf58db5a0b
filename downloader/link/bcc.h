#pragma once
// The block check character of the panel protocol: exclusive-or of every byte.

#include <cstddef>
#include <cstdint>

namespace dravik {

constexpr uint8_t ComputeBcc(const uint8_t* bytes, size_t count) {
  uint8_t bcc = 0;
  for (size_t i = 0; i < count; ++i) bcc = static_cast<uint8_t>(bcc ^ bytes[i]);
  return bcc;
}

}  // namespace dravik
