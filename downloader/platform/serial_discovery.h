#pragma once
// Start-up discovery of the machine's serial devices. Every device found that the
// prefix does not know yet gets a COM link and a SERIALCOMM value; known ones keep
// their number. Numbering, chosen to stay stable across runs and replugging:
//
// - The links are the record: a device whose link exists keeps its number (a link
//   matches by its text or by the device it reaches). Links are never removed, so
//   an unplugged adapter keeps its number for when it comes back.
// - A tty that is the kernel's console (/sys/class/tty/console/active) is left
//   out, and so is its value, as for an absent device.
// - A USB adapter is linked by its /dev/serial/by-id name when it has one: the
//   name carries maker, model and serial number, so it finds the same COM number
//   whatever ttyUSB/ttyACM name the kernel gives it this time. Adapters without
//   one are linked by their kernel name.
// - A new ttyS<k> takes COM<k+1> when that is free; everything else new takes the
//   lowest free number, in the order ttyS, then by-id names, then kernel names,
//   each sorted. A number is free when no link and no SERIALCOMM value has it.
// - The SERIALCOMM value of a device discovery looks after (a value named by a
//   ttyS, ttyUSB, ttyACM or by-id path of the scanned /dev) is removed while the
//   device is absent, so the port list shows what is plugged in. Values others
//   registered (a simulator's pseudo-terminal, a test) are never touched.

#include <string>
#include <vector>

#include "downloader/platform/registry.h"

namespace dravik {

// Where to look; tests point both at temporary folders.
struct SerialRoots {
  std::string dev = "/dev";
  std::string sys = "/sys";
};

// The serial devices present, each as the path its link should hold, sorted in
// numbering order: ttyS with hardware behind them, then by-id names, then the
// kernel names of ttyUSB and ttyACM devices that have no by-id name.
std::vector<std::string> FindSerialDevices(const SerialRoots& roots);

struct DiscoveredPort {
  unsigned number;
  std::string path;  // what the link holds
  bool isNew;        // linked by this run
};

// Brings the prefix and the registry up to date with the devices present and
// returns them with their numbers. Failures to write leave that device out.
std::vector<DiscoveredPort> DiscoverSerialPorts(const std::string& prefix, Registry& registry,
                                                const SerialRoots& roots = {});

}  // namespace dravik
