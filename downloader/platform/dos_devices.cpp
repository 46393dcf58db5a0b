#include "downloader/platform/dos_devices.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "downloader/platform/ascii.h"
#include "downloader/platform/linux_port_opener.h"
#include "downloader/platform/prefix.h"

namespace dravik {

namespace fs = std::filesystem;

std::map<unsigned, std::string> ReadComLinks(const std::string& prefix) {
  std::map<unsigned, std::string> links;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(DosDevicesOf(prefix), error)) {
    const std::string name = entry.path().filename().string();
    const std::optional<unsigned> number = ComPortNumber(name);
    // Only the lower-case spelling the opener looks for counts.
    if (!number || name != "com" + std::to_string(*number)) continue;
    std::error_code linkError;
    const fs::path target = fs::read_symlink(entry.path(), linkError);
    if (!linkError) links[*number] = target.string();
  }
  return links;
}

bool SetComLink(const std::string& prefix, unsigned number, const std::string& target) {
  const std::string folder = DosDevicesOf(prefix);
  if (!EnsureFolder(folder)) return false;
  const std::string link = folder + "/com" + std::to_string(number);
  const std::string temp = link + ".new-" + std::to_string(getpid());
  std::error_code error;
  fs::remove(temp, error);
  fs::create_symlink(target, temp, error);
  if (error) return false;
  fs::rename(temp, link, error);
  if (error) fs::remove(temp, error);
  return !error;
}

std::vector<RegValue> ReadSerialComm(Registry& registry) {
  std::vector<RegValue> values;
  for (uint32_t i = 0; std::optional<RegValue> value = registry.EnumValue(kSerialCommKey, i); ++i) {
    values.push_back(std::move(*value));
  }
  return values;
}

std::string ComName(unsigned number) {
  return "COM" + std::to_string(number);
}

bool RegisterComPort(const std::string& prefix, Registry& registry, unsigned number,
                     const std::string& devicePath) {
  if (number < 1 || number > kHighestComPort || devicePath.empty()) return false;
  if (!SetComLink(prefix, number, devicePath)) return false;
  const std::string com = ComName(number);
  std::vector<std::string> stale;
  for (const RegValue& value : ReadSerialComm(registry)) {
    if (value.type == REG_SZ && EqualsIgnoreCase(value.Text(), com) && value.name != devicePath) {
      stale.push_back(value.name);
    }
  }
  for (const std::string& name : stale) registry.DeleteValue(kSerialCommKey, name);
  return registry.SetValue(kSerialCommKey, RegValue::String(devicePath, com));
}

}  // namespace dravik
