#include "downloader/platform/linux_port_opener.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(LinuxPortOpener, ResolvesComNamesThroughThePrefix) {
  struct Case {
    std::string_view name;
    std::optional<std::string> path;
  };
  const Case cases[] = {
      {"\\\\.\\COM1", "/p/dosdevices/com1"},
      {"\\\\.\\COM256", "/p/dosdevices/com256"},
      {"\\\\.\\com12", "/p/dosdevices/com12"},
      {"COM3", "/p/dosdevices/com3"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/tmp/link-to-a-pty", "/tmp/link-to-a-pty"},
      {"\\\\.\\COM", std::nullopt},
      {"\\\\.\\COM03", std::nullopt},
      {"\\\\.\\COM0", std::nullopt},
      {"\\\\.\\COM1x", std::nullopt},
      {"\\\\.\\COM1234567890", std::nullopt},
      {"\\\\.\\LPT1", std::nullopt},
      {"ttyS0", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolvePortName(c.name, "/p"), c.path) << c.name;
}

TEST(LinuxPortOpener, ANameThatResolvesToNothingIsNotFound) {
  LinuxPortOpener opener("/nonexistent-prefix");
  for (const std::string name : {"\\\\.\\COM7", "LPT1", "/nonexistent-device"}) {
    PortError error = PortError::None;
    EXPECT_EQ(opener.Open(name, &error), nullptr);
    EXPECT_EQ(error, PortError::NotFound) << name;
  }
}

}  // namespace
}  // namespace dravik
