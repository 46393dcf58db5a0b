#pragma once
// The PortOpener of the Linux build. "\\.\COMn" (or "COMn") opens whatever the
// prefix's dosdevices/comn link points at (the name in lower case); a device path
// (any absolute path, "/dev/ttyUSB0", "/dev/pts/3") opens directly.

#include <optional>
#include <string>
#include <string_view>

#include "downloader/platform/byte_port.h"

namespace dravik {

// The port number of "\\.\COMn" or "COMn" (letters in any case, n from 1 without
// leading zeros); nullopt for any other name.
std::optional<unsigned> ComPortNumber(std::string_view name);

// The path a port name opens: the prefix's link for a COM name, the name itself for
// a device path; nullopt for anything else.
std::optional<std::string> ResolvePortName(std::string_view name, const std::string& prefix);

class LinuxPortOpener final : public PortOpener {
 public:
  explicit LinuxPortOpener(std::string prefix) : prefix_(std::move(prefix)) {}
  // NotFound for a name that resolves to nothing; otherwise as OpenTermiosPort.
  std::unique_ptr<BytePort> Open(const std::string& name, PortError* error) override;

 private:
  std::string prefix_;
};

}  // namespace dravik
