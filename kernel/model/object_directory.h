#pragma once
// The object namespace: named device objects, symbolic links and device interfaces.
// Names compare without regard to case; "\DosDevices\" is the same directory as
// "\??\".

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/device_object.h"

namespace kmodel {

struct InterfaceInfo {
  std::u16string symbolicLink;
  GUID classGuid{};
  PDEVICE_OBJECT physicalDevice = nullptr;
  bool enabled = false;
};

class ObjectDirectory {
 public:
  NTSTATUS InsertDevice(const std::u16string& name, PDEVICE_OBJECT device);
  void RemoveDevice(const std::u16string& name);
  NTSTATUS CreateLink(const std::u16string& link, const std::u16string& target);
  NTSTATUS DeleteLink(const std::u16string& link);
  std::optional<std::u16string> LinkTarget(const std::u16string& link);
  // The device a name leads to, following symbolic links.
  PDEVICE_OBJECT Resolve(const std::u16string& name);
  std::vector<std::u16string> Links();

  NTSTATUS RegisterInterface(PDEVICE_OBJECT physicalDevice, const std::u16string& instancePath,
                             const GUID& classGuid, const std::u16string& reference,
                             std::u16string* symbolicLink);
  NTSTATUS SetInterfaceState(const std::u16string& symbolicLink, bool enable);
  std::vector<InterfaceInfo> Interfaces();
  // The physical device is going away: its interfaces are disabled and forgotten.
  void ForgetPhysicalDevice(PDEVICE_OBJECT physicalDevice);

  static std::u16string Normalized(const std::u16string& name);

 private:
  struct Entry {
    std::u16string name;
    PDEVICE_OBJECT device = nullptr;
    std::u16string linkTarget;
  };
  std::mutex mutex_;
  std::map<std::u16string, Entry> entries_;
  std::map<std::u16string, InterfaceInfo> interfaces_;
};

std::u16string GuidText(const GUID& guid);

}  // namespace kmodel
