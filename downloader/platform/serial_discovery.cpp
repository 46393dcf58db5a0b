#include "downloader/platform/serial_discovery.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

#include "downloader/platform/ascii.h"
#include "downloader/platform/dos_devices.h"
#include "downloader/platform/linux_port_opener.h"

namespace dravik {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kKernelPrefixes[] = {"ttyS", "ttyUSB", "ttyACM"};

// "ttyUSB0" -> "ttyUSB"; empty for a name that is not one of ours.
std::string_view KernelPrefixOf(std::string_view name) {
  for (const std::string_view prefix : kKernelPrefixes) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    const std::string_view digits = name.substr(prefix.size());
    if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return prefix;
    }
  }
  return {};
}

std::string Canonical(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  return error ? std::string() : resolved.string();
}

// A ttyS node exists for every possible legacy port; only those whose UART type
// the kernel knows (nonzero) have a chip behind them.
bool HasUart(const SerialRoots& roots, std::string_view name) {
  std::ifstream type(roots.sys + "/class/tty/" + std::string(name) + "/type");
  int value = 0;
  return static_cast<bool>(type >> value) && value != 0;
}

// The ttys the kernel writes its console to (console=ttyS0 on many servers and
// virtual machines). Such a port carries the system's log and often a login, so
// it is not offered for downloads; whoever really means it can register it by hand.
std::set<std::string, std::less<>> ConsoleTtys(const SerialRoots& roots) {
  std::ifstream active(roots.sys + "/class/tty/console/active");
  std::set<std::string, std::less<>> names;
  for (std::string name; active >> name;) names.insert(name);
  return names;
}

struct Found {
  std::vector<std::string> uarts, byId, kernel;
};

Found Scan(const SerialRoots& roots) {
  Found found;
  std::map<std::string, std::string> byIdOf;  // canonical device -> first by-id name
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(roots.dev + "/serial/by-id", error)) {
    const std::string device = Canonical(entry.path().string());
    if (device.empty()) continue;
    const std::string path = entry.path().string();
    auto [at, added] = byIdOf.emplace(device, path);
    if (!added && path < at->second) at->second = path;
  }
  const auto consoles = ConsoleTtys(roots);
  for (const fs::directory_entry& entry : fs::directory_iterator(roots.dev, error)) {
    const std::string name = entry.path().filename().string();
    const std::string_view kind = KernelPrefixOf(name);
    if (kind.empty() || consoles.contains(name)) continue;
    const std::string path = roots.dev + "/" + name;
    if (kind == "ttyS") {
      if (HasUart(roots, name)) found.uarts.push_back(path);
    } else if (const auto id = byIdOf.find(Canonical(path)); id != byIdOf.end()) {
      found.byId.push_back(id->second);
    } else {
      found.kernel.push_back(path);
    }
  }
  // Numeric order for kernel names, so ttyS2 comes before ttyS10.
  const auto byNumber = [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  };
  std::sort(found.uarts.begin(), found.uarts.end(), byNumber);
  std::sort(found.byId.begin(), found.byId.end());
  std::sort(found.kernel.begin(), found.kernel.end(), byNumber);
  return found;
}

// Whether a SERIALCOMM value name is a device path discovery looks after.
bool IsDiscoveryPath(const SerialRoots& roots, std::string_view path) {
  const std::string byId = roots.dev + "/serial/by-id/";
  if (path.substr(0, byId.size()) == byId) return path.size() > byId.size();
  const std::string dev = roots.dev + "/";
  if (path.substr(0, dev.size()) != dev) return false;
  const std::string_view name = path.substr(dev.size());
  return !KernelPrefixOf(name).empty();
}

class Numbering {
 public:
  Numbering(const std::string& prefix, Registry& registry) : links_(ReadComLinks(prefix)) {
    for (const auto& [number, target] : links_) taken_.insert(number);
    for (const RegValue& value : ReadSerialComm(registry)) {
      if (value.type != REG_SZ) continue;
      if (const std::optional<unsigned> number = ComPortNumber(value.Text())) {
        taken_.insert(*number);
        values_[value.name] = *number;
      }
    }
  }

  // The link that already reaches device: its number and text.
  std::optional<std::pair<unsigned, std::string>> Linked(const std::string& device) const {
    for (const auto& [number, target] : links_) {
      if (target == device) return std::pair{number, target};
    }
    const std::string canonical = Canonical(device);
    for (const auto& [number, target] : links_) {
      if (!canonical.empty() && Canonical(target) == canonical) return std::pair{number, target};
    }
    return std::nullopt;
  }

  // A number for a device new to the links: the one its own value still names
  // when no link uses it, else the wished number when free, else the lowest free.
  std::optional<unsigned> Assign(const std::string& device, unsigned wished) {
    if (const auto value = values_.find(device);
        value != values_.end() && !links_.contains(value->second)) {
      return Take(value->second);
    }
    if (wished >= 1 && wished <= kHighestComPort && !taken_.contains(wished)) return Take(wished);
    for (unsigned n = 1; n <= kHighestComPort; ++n) {
      if (!taken_.contains(n)) return Take(n);
    }
    return std::nullopt;
  }

  bool HasValue(const std::string& name, unsigned number) const {
    const auto value = values_.find(name);
    return value != values_.end() && value->second == number;
  }

 private:
  unsigned Take(unsigned n) {
    taken_.insert(n);
    return n;
  }

  std::map<unsigned, std::string> links_;
  std::set<unsigned> taken_;
  std::map<std::string, unsigned> values_;  // SERIALCOMM value name -> its COM number
};

// COM<k+1> for ttyS<k>; 0 (no wish) for the others.
unsigned WishedNumber(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string_view name = std::string_view(path).substr(slash + 1);
  if (KernelPrefixOf(name) != "ttyS") return 0;
  unsigned k = 0;
  const std::string_view digits = name.substr(4);
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
  return error == std::errc() && k < kHighestComPort ? k + 1 : 0;
}

void RemoveAbsent(const SerialRoots& roots, Registry& registry,
                  const std::set<std::string>& present) {
  std::vector<std::string> absent;
  for (const RegValue& value : ReadSerialComm(registry)) {
    if (IsDiscoveryPath(roots, value.name) && !present.contains(value.name)) {
      absent.push_back(value.name);
    }
  }
  for (const std::string& name : absent) registry.DeleteValue(kSerialCommKey, name);
}

SerialRoots WithoutTrailingSlashes(SerialRoots roots) {
  for (std::string* root : {&roots.dev, &roots.sys}) {
    while (root->size() > 1 && root->back() == '/') root->pop_back();
  }
  return roots;
}

}  // namespace

std::vector<std::string> FindSerialDevices(const SerialRoots& givenRoots) {
  Found found = Scan(WithoutTrailingSlashes(givenRoots));
  std::vector<std::string> all = std::move(found.uarts);
  all.insert(all.end(), found.byId.begin(), found.byId.end());
  all.insert(all.end(), found.kernel.begin(), found.kernel.end());
  return all;
}

std::vector<DiscoveredPort> DiscoverSerialPorts(const std::string& prefix, Registry& registry,
                                                const SerialRoots& givenRoots) {
  const SerialRoots roots = WithoutTrailingSlashes(givenRoots);
  Numbering numbering(prefix, registry);
  std::vector<DiscoveredPort> ports;
  std::set<std::string> present;
  for (const std::string& device : FindSerialDevices(roots)) {
    DiscoveredPort port{0, device, false};
    if (const auto linked = numbering.Linked(device)) {
      port.number = linked->first;
      port.path = linked->second;
    } else if (const std::optional<unsigned> number =
                   numbering.Assign(device, WishedNumber(device))) {
      if (!SetComLink(prefix, *number, device)) continue;
      port.number = *number;
      port.isNew = true;
    } else {
      continue;  // all 256 numbers in use
    }
    present.insert(port.path);
    if (!numbering.HasValue(port.path, port.number) &&
        !registry.SetValue(kSerialCommKey, RegValue::String(port.path, ComName(port.number)))) {
      continue;
    }
    ports.push_back(std::move(port));
  }
  RemoveAbsent(roots, registry, present);
  return ports;
}

}  // namespace dravik
