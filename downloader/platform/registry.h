#pragma once
// The registry seam: the few Win32 registry operations the program uses, on keys
// under HKEY_LOCAL_MACHINE. Key paths are backslash-separated and matched without
// regard to case, as on the original platform. On Linux the backend is a text file
// in the registry-export format inside the program's prefix.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dravik {

enum RegType : uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_MULTI_SZ = 7,
};

// One value as Win32 returns it: REG_SZ data carry their terminating NUL,
// REG_DWORD data are 4 little-endian bytes. The empty name is the key's default.
struct RegValue {
  std::string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;

  static RegValue String(std::string name, std::string_view text) {
    RegValue v{std::move(name), REG_SZ, std::vector<uint8_t>(text.begin(), text.end())};
    v.data.push_back(0);
    return v;
  }
  static RegValue Dword(std::string name, uint32_t value) {
    return {std::move(name), REG_DWORD,
            {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}};
  }
  // The text of a REG_SZ/REG_EXPAND_SZ value up to its first NUL.
  std::string Text() const {
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
  }

  bool operator==(const RegValue&) const = default;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyEx: whether the key exists and can be read.
  virtual bool KeyExists(std::string_view key) = 0;
  // RegEnumValue: the value at index in the key's own order; nullopt past the end
  // or when the key does not open.
  virtual std::optional<RegValue> EnumValue(std::string_view key, uint32_t index) = 0;
  // RegQueryValueEx: the named value; nullopt when the key or the value is missing.
  virtual std::optional<RegValue> QueryValue(std::string_view key, std::string_view name) = 0;
  // RegCreateKeyEx + RegSetValueEx: creates the key when needed and writes the
  // value; false when the write is refused. Nothing else in the store changes.
  virtual bool SetValue(std::string_view key, const RegValue& value) = 0;
  // RegDeleteValue: removes the named value; false when it was not there or the
  // store refused. A store that never deletes keeps this default.
  virtual bool DeleteValue(std::string_view key, std::string_view name) {
    static_cast<void>(key);
    static_cast<void>(name);
    return false;
  }
};

}  // namespace dravik
