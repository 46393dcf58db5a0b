#include "downloader/platform/port_timeouts.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "downloader/platform/port_error.h"

namespace dravik {
namespace {

using std::chrono::milliseconds;
constexpr uint32_t kMax = 0xFFFFFFFF;

TEST(PortTimeouts, BoundOneByteReads) {
  struct Case {
    PortTimeouts timeouts;
    std::optional<milliseconds> limit;
  };
  const Case cases[] = {
      {{5000, 5000, 0, 0, 0}, milliseconds(5000)},  // what the serial channel sets
      {{0, 0, 0, 0, 0}, std::nullopt},
      {{100, 0, 0, 0, 0}, std::nullopt},  // the interval starts after a first byte
      {{0, 10, 250, 0, 0}, milliseconds(260)},
      {{kMax, 0, 0, 0, 0}, milliseconds(0)},
      {{kMax, kMax, 300, 0, 0}, milliseconds(300)},
      {{kMax, kMax, kMax, 0, 0}, std::nullopt},
      {{0, kMax, kMax, 0, 0}, milliseconds(uint64_t{kMax} * 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OneByteReadLimit(c.timeouts), c.limit)
        << c.timeouts.ReadIntervalTimeout << " " << c.timeouts.ReadTotalTimeoutMultiplier;
  }
}

TEST(PortError, MapsErrnoOnce) {
  struct Case {
    int error;
    PortError port;
  };
  const Case cases[] = {
      {ENOENT, PortError::NotFound},    {ENXIO, PortError::NotFound},
      {ENODEV, PortError::NotFound},    {EBUSY, PortError::InUse},
      {EWOULDBLOCK, PortError::InUse},  {EACCES, PortError::AccessDenied},
      {EPERM, PortError::AccessDenied}, {ENOTTY, PortError::NotASerialPort},
      {EIO, PortError::Other},          {0, PortError::Other},
  };
  for (const Case& c : cases) EXPECT_EQ(PortErrorFromErrno(c.error), c.port) << c.error;
}

}  // namespace
}  // namespace dravik
