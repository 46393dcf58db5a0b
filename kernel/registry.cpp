// Registry services over the model's registry tree.
#include "kernel/registry.h"

#include <optional>
#include <string>
#include <vector>

#include "kernel/irql.h"
#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"
#include "kernel/model/text.h"

using kmodel::RegistryValue;
using kmodel::State;

namespace {

constexpr ULONG kTypeMask = (1u << RTL_QUERY_REGISTRY_TYPECHECK_SHIFT) - 1;

// The full path of a key named relative to one of the well-known roots.
std::optional<std::u16string> KeyPath(ULONG relativeTo, PCWSTR path) {
  if (relativeTo & RTL_REGISTRY_HANDLE) {
    return State().registry.PathOf(const_cast<PWSTR>(path));
  }
  std::u16string tail = kmodel::FromZeroTerminated(path);
  auto under = [&](const char16_t* root) {
    return tail.empty() ? std::u16string(root) : std::u16string(root) + u"\\" + tail;
  };
  switch (relativeTo) {
    case RTL_REGISTRY_ABSOLUTE:
      return tail;
    case RTL_REGISTRY_SERVICES:
      return under(kmodel::kServicesRoot);
    case RTL_REGISTRY_CONTROL:
      return under(kmodel::kControlRoot);
    case RTL_REGISTRY_DEVICEMAP:
      return under(kmodel::kDeviceMapRoot);
    default:
      return std::nullopt;
  }
}

bool IsString(ULONG type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

ULONG StringBytes(const void* data) {
  const auto* text = static_cast<const WCHAR*>(data);
  ULONG length = 0;
  while (text[length] != 0) ++length;
  return (length + 1) * sizeof(WCHAR);
}

NTSTATUS StoreDirect(ULONG type, const UCHAR* data, ULONG length, PVOID destination) {
  if (IsString(type)) {
    auto* string = static_cast<PUNICODE_STRING>(destination);
    ULONG text = length >= sizeof(WCHAR) ? length - sizeof(WCHAR) : 0;
    if (!string->Buffer) {
      string->Buffer = static_cast<PWSTR>(kmodel::AllocateForDriver(text + sizeof(WCHAR)));
      string->MaximumLength = static_cast<USHORT>(text + sizeof(WCHAR));
    } else if (string->MaximumLength < text + sizeof(WCHAR)) {
      return STATUS_BUFFER_TOO_SMALL;
    }
    RtlCopyMemory(string->Buffer, data, text);
    string->Buffer[text / sizeof(WCHAR)] = 0;
    string->Length = static_cast<USHORT>(text);
    return STATUS_SUCCESS;
  }
  if (length <= sizeof(ULONG)) {
    RtlCopyMemory(destination, data, length);
    return STATUS_SUCCESS;
  }
  auto* header = static_cast<LONG*>(destination);
  LONG size = *header;
  if (size < 0) {
    if (static_cast<ULONG>(-size) < length) return STATUS_BUFFER_TOO_SMALL;
    RtlCopyMemory(destination, data, length);
    return STATUS_SUCCESS;
  }
  if (static_cast<ULONG>(size) < length + 2 * sizeof(ULONG)) return STATUS_BUFFER_TOO_SMALL;
  auto* words = static_cast<ULONG*>(destination);
  words[0] = length;
  words[1] = type;
  RtlCopyMemory(words + 2, data, length);
  return STATUS_SUCCESS;
}

NTSTATUS RunEntry(const RTL_QUERY_REGISTRY_TABLE& entry, const std::u16string& key, PVOID context) {
  kmodel::RegistryStore& registry = State().registry;
  std::u16string name = kmodel::FromZeroTerminated(entry.Name);
  std::optional<RegistryValue> value = registry.GetValue(key, name);
  ULONG type;
  std::vector<UCHAR> data;
  if (value) {
    type = value->type;
    data = value->data;
  } else {
    if (entry.Flags & RTL_QUERY_REGISTRY_REQUIRED) return STATUS_OBJECT_NAME_NOT_FOUND;
    type = entry.DefaultType & kTypeMask;
    if (type == REG_NONE) return STATUS_SUCCESS;
    ULONG length = entry.DefaultLength;
    if (length == 0 && IsString(type) && entry.DefaultData) length = StringBytes(entry.DefaultData);
    const auto* bytes = static_cast<const UCHAR*>(entry.DefaultData);
    if (bytes) data.assign(bytes, bytes + length);
  }
  if (entry.Flags & RTL_QUERY_REGISTRY_TYPECHECK) {
    ULONG expected = entry.DefaultType >> RTL_QUERY_REGISTRY_TYPECHECK_SHIFT;
    if (type != expected) return STATUS_OBJECT_TYPE_MISMATCH;
  }
  ULONG length = static_cast<ULONG>(data.size());
  NTSTATUS status;
  if (entry.Flags & RTL_QUERY_REGISTRY_DIRECT) {
    status = StoreDirect(type, data.data(), length, entry.EntryContext);
  } else {
    status = entry.QueryRoutine(entry.Name, type, data.data(), length, context, entry.EntryContext);
  }
  if (NT_SUCCESS(status) && value && (entry.Flags & RTL_QUERY_REGISTRY_DELETE)) {
    registry.DeleteValue(key, name);
  }
  return status;
}

}  // namespace

NTSTATUS RtlQueryRegistryValues(ULONG relativeTo, PCWSTR path, PRTL_QUERY_REGISTRY_TABLE queryTable,
                                PVOID context, PVOID environment) {
  UNREFERENCED_PARAMETER(environment);
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "RtlQueryRegistryValues");
  kmodel::RegistryStore& registry = State().registry;
  bool optional = (relativeTo & RTL_REGISTRY_OPTIONAL) != 0;
  std::optional<std::u16string> base = KeyPath(relativeTo & ~RTL_REGISTRY_OPTIONAL, path);
  if (!base) return STATUS_INVALID_PARAMETER;
  if (!registry.KeyExists(*base)) return optional ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
  std::u16string key = *base;
  for (PRTL_QUERY_REGISTRY_TABLE entry = queryTable; entry->QueryRoutine || entry->Name; ++entry) {
    if (entry->Flags & RTL_QUERY_REGISTRY_TOPKEY) key = *base;
    if (entry->Flags & RTL_QUERY_REGISTRY_SUBKEY) {
      key = *base + u"\\" + kmodel::FromZeroTerminated(entry->Name);
      if (!registry.KeyExists(key)) return STATUS_OBJECT_NAME_NOT_FOUND;
      continue;
    }
    NTSTATUS status;
    if (!entry->Name) {
      // No name: the routine sees every value of the key.
      status = STATUS_SUCCESS;
      for (RegistryValue& value : registry.Values(key)) {
        value.name.push_back(0);
        status = entry->QueryRoutine(value.name.data(), value.type, value.data.data(),
                                     static_cast<ULONG>(value.data.size()), context,
                                     entry->EntryContext);
        if (!NT_SUCCESS(status)) break;
      }
    } else if (entry->Flags & RTL_QUERY_REGISTRY_NOVALUE) {
      status = entry->QueryRoutine(entry->Name, REG_NONE, nullptr, 0, context, entry->EntryContext);
    } else {
      status = RunEntry(*entry, key, context);
    }
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}

NTSTATUS RtlWriteRegistryValue(ULONG relativeTo, PCWSTR path, PCWSTR valueName, ULONG valueType,
                               PVOID valueData, ULONG valueLength) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "RtlWriteRegistryValue");
  kmodel::KernelState& state = State();
  if (auto failure = state.faults.ServiceFailure(kmodel::Service::WriteRegistry)) return *failure;
  std::optional<std::u16string> key = KeyPath(relativeTo & ~RTL_REGISTRY_OPTIONAL, path);
  if (!key) return STATUS_INVALID_PARAMETER;
  const auto* bytes = static_cast<const UCHAR*>(valueData);
  RegistryValue value{kmodel::FromZeroTerminated(valueName), valueType,
                      std::vector<UCHAR>(bytes, bytes + valueLength)};
  return state.registry.SetValue(*key, value) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
}

NTSTATUS RtlDeleteRegistryValue(ULONG relativeTo, PCWSTR path, PCWSTR valueName) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "RtlDeleteRegistryValue");
  std::optional<std::u16string> key = KeyPath(relativeTo & ~RTL_REGISTRY_OPTIONAL, path);
  if (!key) return STATUS_INVALID_PARAMETER;
  return State().registry.DeleteValue(*key, kmodel::FromZeroTerminated(valueName))
             ? STATUS_SUCCESS
             : STATUS_OBJECT_NAME_NOT_FOUND;
}

NTSTATUS IoOpenDeviceRegistryKey(PDEVICE_OBJECT deviceObject, ULONG devInstKeyType,
                                 ACCESS_MASK desiredAccess, PHANDLE deviceRegKey) {
  UNREFERENCED_PARAMETER(desiredAccess);
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "IoOpenDeviceRegistryKey");
  kmodel::KernelState& state = State();
  *deviceRegKey = nullptr;
  if (auto failure = state.faults.ServiceFailure(kmodel::Service::OpenDeviceKey)) return *failure;
  kmodel::DeviceRecord* record = state.devices.Find(deviceObject);
  if (!record || record->instancePath.empty()) return STATUS_INVALID_DEVICE_REQUEST;
  std::u16string instance = std::u16string(kmodel::kEnumRoot) + u"\\" + record->instancePath;
  std::u16string key;
  if (devInstKeyType == PLUGPLAY_REGKEY_DEVICE) {
    key = instance + u"\\Device Parameters";
  } else if (devInstKeyType == PLUGPLAY_REGKEY_DRIVER) {
    key = instance + u"\\Driver";
  } else {
    return STATUS_INVALID_PARAMETER;
  }
  HANDLE handle = state.registry.Open(key);
  if (!handle) return STATUS_OBJECT_NAME_NOT_FOUND;
  *deviceRegKey = handle;
  return STATUS_SUCCESS;
}

NTSTATUS ZwQueryValueKey(HANDLE keyHandle, PUNICODE_STRING valueName,
                         KEY_VALUE_INFORMATION_CLASS keyValueInformationClass,
                         PVOID keyValueInformation, ULONG length, PULONG resultLength) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "ZwQueryValueKey");
  kmodel::RegistryStore& registry = State().registry;
  std::optional<std::u16string> key = registry.PathOf(keyHandle);
  if (!key) return STATUS_INVALID_HANDLE;
  std::optional<RegistryValue> value = registry.GetValue(*key, kmodel::FromUnicode(valueName));
  if (!value) return STATUS_OBJECT_NAME_NOT_FOUND;
  ULONG nameBytes = static_cast<ULONG>(value->name.size() * sizeof(WCHAR));
  ULONG dataBytes = static_cast<ULONG>(value->data.size());
  std::vector<UCHAR> record;
  ULONG fixed;
  auto put = [&record](size_t offset, const void* bytes, size_t count) {
    if (record.size() < offset + count) record.resize(offset + count);
    if (count) RtlCopyMemory(record.data() + offset, bytes, count);
  };
  switch (keyValueInformationClass) {
    case KeyValueBasicInformation: {
      fixed = offsetof(KEY_VALUE_BASIC_INFORMATION, Name);
      KEY_VALUE_BASIC_INFORMATION head{0, value->type, nameBytes, {0}};
      put(0, &head, fixed);
      put(fixed, value->name.data(), nameBytes);
      break;
    }
    case KeyValueFullInformation: {
      fixed = offsetof(KEY_VALUE_FULL_INFORMATION, Name);
      ULONG dataOffset = (fixed + nameBytes + 3) & ~3u;
      KEY_VALUE_FULL_INFORMATION head{0, value->type, dataOffset, dataBytes, nameBytes, {0}};
      put(0, &head, fixed);
      put(fixed, value->name.data(), nameBytes);
      put(dataOffset, value->data.data(), dataBytes);
      break;
    }
    case KeyValuePartialInformation: {
      fixed = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
      KEY_VALUE_PARTIAL_INFORMATION head{0, value->type, dataBytes, {0}};
      put(0, &head, fixed);
      put(fixed, value->data.data(), dataBytes);
      break;
    }
    default:
      return STATUS_INVALID_PARAMETER;
  }
  *resultLength = static_cast<ULONG>(record.size());
  if (length < fixed) return STATUS_BUFFER_TOO_SMALL;
  if (length < record.size()) {
    RtlCopyMemory(keyValueInformation, record.data(), fixed);
    return STATUS_BUFFER_OVERFLOW;
  }
  RtlCopyMemory(keyValueInformation, record.data(), record.size());
  return STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE handle) {
  kmodel::CheckIrqlAtMost(PASSIVE_LEVEL, "ZwClose");
  return State().registry.Close(handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}
