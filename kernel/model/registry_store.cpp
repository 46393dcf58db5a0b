#include "kernel/model/registry_store.h"

#include "kernel/model/text.h"

namespace kmodel {

RegistryStore::RegistryStore() {
  CreateKey(kServicesRoot);
  CreateKey(kControlRoot);
  CreateKey(kEnumRoot);
  CreateKey(std::u16string(kDeviceMapRoot) + u"\\SERIALCOMM");
}

RegistryStore::Key* RegistryStore::FindLocked(const std::u16string& path) {
  auto it = keys_.find(Folded(path));
  return it == keys_.end() ? nullptr : &it->second;
}

void RegistryStore::CreateKey(const std::u16string& path) {
  std::lock_guard guard(mutex_);
  for (size_t at = path.find(u'\\', 1);; at = path.find(u'\\', at + 1)) {
    std::u16string prefix = path.substr(0, at);
    keys_.try_emplace(Folded(prefix), Key{prefix, {}});
    if (at == std::u16string::npos) break;
  }
}

bool RegistryStore::KeyExists(const std::u16string& path) {
  std::lock_guard guard(mutex_);
  return FindLocked(path) != nullptr;
}

void RegistryStore::DeleteKey(const std::u16string& path) {
  std::lock_guard guard(mutex_);
  std::u16string folded = Folded(path);
  std::erase_if(keys_, [&](const auto& entry) {
    return entry.first == folded || entry.first.starts_with(folded + u"\\");
  });
}

bool RegistryStore::SetValue(const std::u16string& path, const RegistryValue& value) {
  std::lock_guard guard(mutex_);
  Key* key = FindLocked(path);
  if (!key) return false;
  for (RegistryValue& existing : key->values) {
    if (Folded(existing.name) == Folded(value.name)) {
      existing = value;
      return true;
    }
  }
  key->values.push_back(value);
  return true;
}

std::optional<RegistryValue> RegistryStore::GetValue(const std::u16string& path,
                                                     const std::u16string& name) {
  std::lock_guard guard(mutex_);
  Key* key = FindLocked(path);
  if (!key) return std::nullopt;
  for (const RegistryValue& value : key->values) {
    if (Folded(value.name) == Folded(name)) return value;
  }
  return std::nullopt;
}

bool RegistryStore::DeleteValue(const std::u16string& path, const std::u16string& name) {
  std::lock_guard guard(mutex_);
  Key* key = FindLocked(path);
  if (!key) return false;
  return std::erase_if(key->values, [&](const RegistryValue& value) {
           return Folded(value.name) == Folded(name);
         }) > 0;
}

std::vector<RegistryValue> RegistryStore::Values(const std::u16string& path) {
  std::lock_guard guard(mutex_);
  Key* key = FindLocked(path);
  return key ? key->values : std::vector<RegistryValue>();
}

HANDLE RegistryStore::Open(const std::u16string& path) {
  std::lock_guard guard(mutex_);
  Key* key = FindLocked(path);
  if (!key) return nullptr;
  uintptr_t handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = key->path;
  return reinterpret_cast<HANDLE>(handle);
}

std::optional<std::u16string> RegistryStore::PathOf(HANDLE handle) {
  std::lock_guard guard(mutex_);
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end()) return std::nullopt;
  return it->second;
}

bool RegistryStore::Close(HANDLE handle) {
  std::lock_guard guard(mutex_);
  return handles_.erase(reinterpret_cast<uintptr_t>(handle)) > 0;
}

size_t RegistryStore::OpenHandles() {
  std::lock_guard guard(mutex_);
  return handles_.size();
}

RegistryValue DwordValue(std::u16string name, ULONG value) {
  return {std::move(name),
          4,
          {static_cast<UCHAR>(value), static_cast<UCHAR>(value >> 8),
           static_cast<UCHAR>(value >> 16), static_cast<UCHAR>(value >> 24)}};
}

RegistryValue StringValue(std::u16string name, const std::u16string& text) {
  RegistryValue value{std::move(name), 1, {}};
  for (char16_t c : text) {
    value.data.push_back(static_cast<UCHAR>(c));
    value.data.push_back(static_cast<UCHAR>(c >> 8));
  }
  value.data.push_back(0);
  value.data.push_back(0);
  return value;
}

std::u16string ValueText(const RegistryValue& value) {
  std::u16string text;
  for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
    char16_t c = static_cast<char16_t>(value.data[i] | value.data[i + 1] << 8);
    if (c == 0) break;
    text += c;
  }
  return text;
}

}  // namespace kmodel
