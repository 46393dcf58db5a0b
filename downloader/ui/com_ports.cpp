#include "downloader/ui/com_ports.h"

#include <cstdio>

#include "downloader/platform/ascii.h"

namespace dravik {

namespace {
// The room the enumeration gives each value: 256 bytes of name (with its NUL) and
// 256 bytes of data.
constexpr size_t kNameRoom = 256;
constexpr size_t kDataRoom = 256;

std::vector<std::string> RegisteredNames(Registry& registry) {
  std::vector<std::string> names;
  for (uint32_t index = 0;; ++index) {
    const auto value = registry.EnumValue(kSerialCommKey, index);
    if (!value || value->name.size() >= kNameRoom || value->data.size() > kDataRoom) break;
    if (value->type == REG_SZ) names.push_back(value->Text());
  }
  return names;
}
}  // namespace

int EnumerateComPorts(Registry& registry, std::vector<std::string>& ports) {
  if (!registry.KeyExists(kSerialCommKey)) return -1;
  ports.clear();
  const std::vector<std::string> names = RegisteredNames(registry);
  for (int k = 1; k <= 256; ++k) {
    char port[8];
    std::snprintf(port, sizeof port, "COM%d", k);
    for (const auto& name : names) {
      if (EqualsIgnoreCase(port, name)) ports.emplace_back(port);
    }
    if (ports.size() == names.size()) break;
  }
  return static_cast<int>(names.size());
}

}  // namespace dravik
