#pragma once
// The serial ports the system has registered under HARDWARE\DEVICEMAP\SERIALCOMM,
// as the port dialog lists them.

#include <string>
#include <vector>

#include "downloader/platform/dos_devices.h"  // kSerialCommKey
#include "downloader/platform/registry.h"

namespace dravik {

// Fills ports with "COM1" to "COM256" in ascending number order, one entry for
// every registered text value that names that port in any case (so a port
// registered twice is listed twice); other names are left out. Returns how many
// text values were read, or -1 when the key does not open (ports then unchanged).
int EnumerateComPorts(Registry& registry, std::vector<std::string>& ports);

}  // namespace dravik
