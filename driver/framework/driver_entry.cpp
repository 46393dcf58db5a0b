#include "driver/framework/driver_entry.h"

#include "driver/framework/dispatch_routines.h"
#include "driver/framework/driver_globals.h"

namespace {

constexpr ULONG kDefaultTaskTrayIcon = 1;

struct MajorFunctionEntry {
  UCHAR major;
  PDRIVER_DISPATCH routine;
};

constexpr MajorFunctionEntry kDispatchTable[] = {
    {IRP_MJ_CREATE, DispatchCreate},
    {IRP_MJ_CLOSE, DispatchClose},
    {IRP_MJ_CLEANUP, DispatchCleanup},
    {IRP_MJ_READ, DispatchRead},
    {IRP_MJ_WRITE, DispatchWrite},
    {IRP_MJ_FLUSH_BUFFERS, DispatchFlush},
    {IRP_MJ_QUERY_INFORMATION, DispatchQueryInformation},
    {IRP_MJ_SET_INFORMATION, DispatchSetInformation},
    {IRP_MJ_DEVICE_CONTROL, DispatchDeviceControl},
    {IRP_MJ_INTERNAL_DEVICE_CONTROL, DispatchInternalDeviceControl},
    {IRP_MJ_PNP, DispatchPnp},
    {IRP_MJ_POWER, DispatchPower},
    {IRP_MJ_SYSTEM_CONTROL, DispatchSystemControl},
};

// Stores a REG_DWORD of exactly four bytes (the value, or the entry's default when
// the value is missing) at the entry's destination. A direct entry would copy data
// of any other length as it stands: more than four bytes over whatever lies behind
// the ULONG, fewer into part of it. Such a value fails the query instead.
NTSTATUS StoreDword(PWSTR valueName, ULONG valueType, PVOID valueData, ULONG valueLength,
                    PVOID context, PVOID entryContext) {
  UNREFERENCED_PARAMETER(valueName);
  UNREFERENCED_PARAMETER(context);
  if (valueType != REG_DWORD || valueLength != sizeof(ULONG)) return STATUS_OBJECT_TYPE_MISMATCH;
  RtlCopyMemory(entryContext, valueData, sizeof(ULONG));
  return STATUS_SUCCESS;
}

RTL_QUERY_REGISTRY_TABLE DwordEntry(PCWSTR name, PULONG destination, PULONG defaultValue) {
  RTL_QUERY_REGISTRY_TABLE entry{};
  entry.QueryRoutine = StoreDword;
  entry.Name = const_cast<PWSTR>(name);
  entry.EntryContext = destination;
  entry.DefaultType = REG_DWORD;
  entry.DefaultData = defaultValue;
  entry.DefaultLength = sizeof(ULONG);
  return entry;
}

void ReadTimeout(PCWSTR serviceKey) {
  ULONG defaultTimeout = DEFAULT_URB_TIMEOUT_MS;
  RTL_QUERY_REGISTRY_TABLE table[3] = {};
  table[0].Flags = RTL_QUERY_REGISTRY_SUBKEY;
  table[0].Name = const_cast<PWSTR>(u"Parameters");
  table[1] = DwordEntry(u"Timeout", &UrbTimeoutMs, &defaultTimeout);
  NTSTATUS status = RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE | RTL_REGISTRY_OPTIONAL,
                                           serviceKey, table, nullptr, nullptr);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND || UrbTimeoutMs == 0) {
    UrbTimeoutMs = DEFAULT_URB_TIMEOUT_MS;
  }
}

void ReadTaskTrayIcon(PCWSTR serviceKey) {
  ULONG defaultTaskTrayIcon = kDefaultTaskTrayIcon;
  ULONG taskTrayIcon = kDefaultTaskTrayIcon;
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0] = DwordEntry(u"TaskTrayIcon", &taskTrayIcon, &defaultTaskTrayIcon);
  NTSTATUS status = RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE | RTL_REGISTRY_OPTIONAL,
                                           serviceKey, table, nullptr, nullptr);
  ReportSurpriseRemovalOk = NT_SUCCESS(status) && taskTrayIcon == 0 ? TRUE : FALSE;
}

}  // namespace

void ReadDriverParameters(PCUNICODE_STRING registryPath) {
  UrbTimeoutMs = DEFAULT_URB_TIMEOUT_MS;
  ReportSurpriseRemovalOk = FALSE;
  // The path is counted, not necessarily terminated: the queries get a terminated
  // copy. Without memory for it the defaults stand.
  ULONG bytes = registryPath->Length;
  auto* path =
      static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, bytes + sizeof(WCHAR), DRIVER_POOL_TAG));
  if (!path) return;
  RtlCopyMemory(path, registryPath->Buffer, bytes);
  path[bytes / sizeof(WCHAR)] = 0;
  ReadTimeout(path);
  ReadTaskTrayIcon(path);
  ExFreePoolWithTag(path, DRIVER_POOL_TAG);
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath) {
  driverObject->DriverExtension->AddDevice = AddDevice;
  for (const MajorFunctionEntry& entry : kDispatchTable) {
    driverObject->MajorFunction[entry.major] = entry.routine;
  }
  RtlZeroMemory(DeviceNumberMap, sizeof(DeviceNumberMap));
  KeInitializeSpinLock(&DeviceNumberLock);
  ReadDriverParameters(registryPath);
  return STATUS_SUCCESS;
}
