#pragma once
// COM names on Linux: the prefix's dosdevices/comN links to device paths, and the
// matching values under HARDWARE\DEVICEMAP\SERIALCOMM that the port dialog lists.
// A registered port is both: the link "comN" -> device, and the value named by
// the device path with the text "COMN".

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/platform/registry.h"

namespace dravik {

inline constexpr std::string_view kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
inline constexpr unsigned kHighestComPort = 256;

// The prefix's COM links, number to link text (dangling links included).
std::map<unsigned, std::string> ReadComLinks(const std::string& prefix);

// Points dosdevices/comN at target, replacing any link of that number atomically.
bool SetComLink(const std::string& prefix, unsigned number, const std::string& target);

// Every value of the SERIALCOMM key, in its order.
std::vector<RegValue> ReadSerialComm(Registry& registry);

// "COM" and the number, as the registry value holds it.
std::string ComName(unsigned number);

// Registers devicePath as COM<number>: the link, and the SERIALCOMM value named by
// the path. Any other SERIALCOMM value naming the same COM port is removed, so the
// port is listed once and opens what the link says. For the demo, tests and
// simulators (a pseudo-terminal as COM1).
bool RegisterComPort(const std::string& prefix, Registry& registry, unsigned number,
                     const std::string& devicePath);

}  // namespace dravik
