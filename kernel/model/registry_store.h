#pragma once
// The registry tree: keys by full path ("\Registry\Machine\..."), compared without
// regard to case, each with its values in the order they were first written, and the
// handles that kernel services hand out for open keys.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/base_types.h"

namespace kmodel {

inline constexpr char16_t kMachineRoot[] = u"\\Registry\\Machine";
inline constexpr char16_t kServicesRoot[] =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Services";
inline constexpr char16_t kControlRoot[] =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Control";
inline constexpr char16_t kEnumRoot[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum";
inline constexpr char16_t kDeviceMapRoot[] = u"\\Registry\\Machine\\Hardware\\DeviceMap";

struct RegistryValue {
  std::u16string name;
  ULONG type = 0;
  std::vector<UCHAR> data;
};

class RegistryStore {
 public:
  RegistryStore();
  // Creates the key and every key above it.
  void CreateKey(const std::u16string& path);
  bool KeyExists(const std::u16string& path);
  // Deletes the key with everything below it.
  void DeleteKey(const std::u16string& path);
  // False when the key does not exist.
  bool SetValue(const std::u16string& path, const RegistryValue& value);
  std::optional<RegistryValue> GetValue(const std::u16string& path, const std::u16string& name);
  bool DeleteValue(const std::u16string& path, const std::u16string& name);
  std::vector<RegistryValue> Values(const std::u16string& path);

  // Null when the key does not exist.
  HANDLE Open(const std::u16string& path);
  std::optional<std::u16string> PathOf(HANDLE handle);
  bool Close(HANDLE handle);
  size_t OpenHandles();

 private:
  struct Key {
    std::u16string path;
    std::vector<RegistryValue> values;
  };
  Key* FindLocked(const std::u16string& path);

  std::mutex mutex_;
  std::map<std::u16string, Key> keys_;
  std::map<uintptr_t, std::u16string> handles_;
  uintptr_t nextHandle_ = 0x100;
};

// Value builders for tests and for the model's own keys.
RegistryValue DwordValue(std::u16string name, ULONG value);
// REG_SZ with its terminating zero.
RegistryValue StringValue(std::u16string name, const std::u16string& text);
// The text of a REG_SZ value up to its first zero.
std::u16string ValueText(const RegistryValue& value);

}  // namespace kmodel
