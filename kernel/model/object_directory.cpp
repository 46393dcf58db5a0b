#include "kernel/model/object_directory.h"

#include <cstdio>

#include "kernel/model/text.h"

namespace kmodel {
namespace {

constexpr std::u16string_view kDosDevices = u"\\DosDevices\\";
constexpr std::u16string_view kGlobalDevices = u"\\??\\";

std::u16string Key(const std::u16string& name) {
  return Folded(ObjectDirectory::Normalized(name));
}

}  // namespace

std::u16string ObjectDirectory::Normalized(const std::u16string& name) {
  if (Folded(name.substr(0, kDosDevices.size())) == Folded(kDosDevices)) {
    return std::u16string(kGlobalDevices) + name.substr(kDosDevices.size());
  }
  return name;
}

std::u16string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return Widen(text);
}

NTSTATUS ObjectDirectory::InsertDevice(const std::u16string& name, PDEVICE_OBJECT device) {
  std::lock_guard guard(mutex_);
  auto [it, inserted] = entries_.try_emplace(Key(name), Entry{name, device, {}});
  return inserted ? STATUS_SUCCESS : STATUS_OBJECT_NAME_COLLISION;
}

void ObjectDirectory::RemoveDevice(const std::u16string& name) {
  std::lock_guard guard(mutex_);
  entries_.erase(Key(name));
}

NTSTATUS ObjectDirectory::CreateLink(const std::u16string& link, const std::u16string& target) {
  std::lock_guard guard(mutex_);
  auto [it, inserted] = entries_.try_emplace(Key(link), Entry{Normalized(link), nullptr, target});
  return inserted ? STATUS_SUCCESS : STATUS_OBJECT_NAME_COLLISION;
}

NTSTATUS ObjectDirectory::DeleteLink(const std::u16string& link) {
  std::lock_guard guard(mutex_);
  auto it = entries_.find(Key(link));
  if (it == entries_.end() || it->second.device) return STATUS_OBJECT_NAME_NOT_FOUND;
  entries_.erase(it);
  return STATUS_SUCCESS;
}

std::optional<std::u16string> ObjectDirectory::LinkTarget(const std::u16string& link) {
  std::lock_guard guard(mutex_);
  auto it = entries_.find(Key(link));
  if (it == entries_.end() || it->second.device) return std::nullopt;
  return it->second.linkTarget;
}

PDEVICE_OBJECT ObjectDirectory::Resolve(const std::u16string& name) {
  std::lock_guard guard(mutex_);
  std::u16string at = name;
  for (int hops = 0; hops < 16; ++hops) {
    auto it = entries_.find(Key(at));
    if (it == entries_.end()) return nullptr;
    if (it->second.device) return it->second.device;
    at = it->second.linkTarget;
  }
  return nullptr;
}

std::vector<std::u16string> ObjectDirectory::Links() {
  std::lock_guard guard(mutex_);
  std::vector<std::u16string> links;
  for (const auto& [key, entry] : entries_) {
    if (!entry.device) links.push_back(entry.name);
  }
  return links;
}

NTSTATUS ObjectDirectory::RegisterInterface(PDEVICE_OBJECT physicalDevice,
                                            const std::u16string& instancePath,
                                            const GUID& classGuid, const std::u16string& reference,
                                            std::u16string* symbolicLink) {
  std::u16string instance = instancePath;
  for (char16_t& c : instance) {
    if (c == u'\\') c = u'#';
  }
  std::u16string link = std::u16string(kGlobalDevices) + instance + u"#" + GuidText(classGuid);
  if (!reference.empty()) link += u"\\" + reference;
  std::lock_guard guard(mutex_);
  interfaces_.try_emplace(Folded(link), InterfaceInfo{link, classGuid, physicalDevice, false});
  *symbolicLink = link;
  return STATUS_SUCCESS;
}

NTSTATUS ObjectDirectory::SetInterfaceState(const std::u16string& symbolicLink, bool enable) {
  std::lock_guard guard(mutex_);
  auto it = interfaces_.find(Folded(symbolicLink));
  if (it == interfaces_.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
  if (it->second.enabled == enable) {
    return enable ? STATUS_OBJECT_NAME_EXISTS : STATUS_OBJECT_NAME_NOT_FOUND;
  }
  it->second.enabled = enable;
  return STATUS_SUCCESS;
}

std::vector<InterfaceInfo> ObjectDirectory::Interfaces() {
  std::lock_guard guard(mutex_);
  std::vector<InterfaceInfo> list;
  for (const auto& [key, info] : interfaces_) list.push_back(info);
  return list;
}

void ObjectDirectory::ForgetPhysicalDevice(PDEVICE_OBJECT physicalDevice) {
  std::lock_guard guard(mutex_);
  std::erase_if(interfaces_,
                [&](const auto& entry) { return entry.second.physicalDevice == physicalDevice; });
}

}  // namespace kmodel
