#include "downloader/platform/linux_port_opener.h"

#include "downloader/platform/ascii.h"
#include "downloader/platform/prefix.h"
#include "downloader/platform/termios_port.h"

namespace dravik {

std::optional<unsigned> ComPortNumber(std::string_view name) {
  constexpr std::string_view kDevicePrefix = "\\\\.\\";
  if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix)
    name.remove_prefix(kDevicePrefix.size());
  if (name.size() < 4 || !EqualsIgnoreCase(name.substr(0, 3), "COM")) return std::nullopt;
  const std::string_view digits = name.substr(3);
  if (digits.size() > 9 || digits.front() == '0') return std::nullopt;
  unsigned number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

std::optional<std::string> ResolvePortName(std::string_view name, const std::string& prefix) {
  if (const std::optional<unsigned> number = ComPortNumber(name)) {
    return DosDevicesOf(prefix) + "/com" + std::to_string(*number);
  }
  if (!name.empty() && name.front() == '/') return std::string(name);
  return std::nullopt;
}

std::unique_ptr<BytePort> LinuxPortOpener::Open(const std::string& name, PortError* error) {
  const std::optional<std::string> path = ResolvePortName(name, prefix_);
  if (!path) {
    if (error != nullptr) *error = PortError::NotFound;
    return nullptr;
  }
  return OpenTermiosPort(*path, error);
}

}  // namespace dravik
