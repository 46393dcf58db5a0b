#include "downloader/platform/port_timeouts.h"

#include <cstdint>

namespace dravik {

std::optional<std::chrono::milliseconds> OneByteReadLimit(const PortTimeouts& t) {
  constexpr uint32_t kMax = 0xFFFFFFFF;
  using std::chrono::milliseconds;
  if (t.ReadIntervalTimeout == kMax && t.ReadTotalTimeoutMultiplier == 0 &&
      t.ReadTotalTimeoutConstant == 0) {
    return milliseconds(0);
  }
  if (t.ReadIntervalTimeout == kMax && t.ReadTotalTimeoutMultiplier == kMax) {
    if (t.ReadTotalTimeoutConstant == kMax) return std::nullopt;
    return milliseconds(t.ReadTotalTimeoutConstant);
  }
  if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) return std::nullopt;
  return milliseconds(uint64_t{t.ReadTotalTimeoutMultiplier} + t.ReadTotalTimeoutConstant);
}

}  // namespace dravik
