#pragma once
// The registry as drivers reach it: query tables, device keys and value queries,
// and writes relative to the well-known roots.

#include "kernel/base_types.h"
#include "kernel/device_object.h"
#include "kernel/ntstatus.h"

inline constexpr ULONG REG_NONE = 0;
inline constexpr ULONG REG_SZ = 1;
inline constexpr ULONG REG_EXPAND_SZ = 2;
inline constexpr ULONG REG_BINARY = 3;
inline constexpr ULONG REG_DWORD = 4;
inline constexpr ULONG REG_MULTI_SZ = 7;
inline constexpr ULONG REG_QWORD = 11;

// Roots for RelativeTo; RTL_REGISTRY_OPTIONAL may be or-ed in.
inline constexpr ULONG RTL_REGISTRY_ABSOLUTE = 0;
inline constexpr ULONG RTL_REGISTRY_SERVICES = 1;
inline constexpr ULONG RTL_REGISTRY_CONTROL = 2;
inline constexpr ULONG RTL_REGISTRY_WINDOWS_NT = 3;
inline constexpr ULONG RTL_REGISTRY_DEVICEMAP = 4;
inline constexpr ULONG RTL_REGISTRY_USER = 5;
inline constexpr ULONG RTL_REGISTRY_HANDLE = 0x40000000;
inline constexpr ULONG RTL_REGISTRY_OPTIONAL = 0x80000000;

// Query-table entry flags.
inline constexpr ULONG RTL_QUERY_REGISTRY_SUBKEY = 0x00000001;
inline constexpr ULONG RTL_QUERY_REGISTRY_TOPKEY = 0x00000002;
inline constexpr ULONG RTL_QUERY_REGISTRY_REQUIRED = 0x00000004;
inline constexpr ULONG RTL_QUERY_REGISTRY_NOVALUE = 0x00000008;
inline constexpr ULONG RTL_QUERY_REGISTRY_NOEXPAND = 0x00000010;
inline constexpr ULONG RTL_QUERY_REGISTRY_DIRECT = 0x00000020;
inline constexpr ULONG RTL_QUERY_REGISTRY_DELETE = 0x00000040;
// With TYPECHECK, the expected type of a direct entry's value goes into the top byte
// of DefaultType; a value of another type gives STATUS_OBJECT_TYPE_MISMATCH instead
// of being written over a destination of the wrong shape.
inline constexpr ULONG RTL_QUERY_REGISTRY_TYPECHECK = 0x00000100;
inline constexpr ULONG RTL_QUERY_REGISTRY_TYPECHECK_SHIFT = 24;

inline constexpr ULONG PLUGPLAY_REGKEY_DEVICE = 1;
inline constexpr ULONG PLUGPLAY_REGKEY_DRIVER = 2;
inline constexpr ULONG PLUGPLAY_REGKEY_CURRENT_HWPROFILE = 4;

inline constexpr ACCESS_MASK STANDARD_RIGHTS_READ = 0x00020000;
inline constexpr ACCESS_MASK KEY_QUERY_VALUE = 0x0001;
inline constexpr ACCESS_MASK KEY_SET_VALUE = 0x0002;
inline constexpr ACCESS_MASK KEY_READ = 0x00020019;
inline constexpr ACCESS_MASK KEY_WRITE = 0x00020006;
inline constexpr ACCESS_MASK KEY_ALL_ACCESS = 0x000F003F;

using RTL_QUERY_REGISTRY_ROUTINE = NTSTATUS(PWSTR valueName, ULONG valueType, PVOID valueData,
                                            ULONG valueLength, PVOID context, PVOID entryContext);
using PRTL_QUERY_REGISTRY_ROUTINE = RTL_QUERY_REGISTRY_ROUTINE*;

// A table ends with an entry whose QueryRoutine and Name are both null.
struct RTL_QUERY_REGISTRY_TABLE {
  PRTL_QUERY_REGISTRY_ROUTINE QueryRoutine;
  ULONG Flags;
  PWSTR Name;
  PVOID EntryContext;
  ULONG DefaultType;
  PVOID DefaultData;
  ULONG DefaultLength;
};
using PRTL_QUERY_REGISTRY_TABLE = RTL_QUERY_REGISTRY_TABLE*;

enum KEY_VALUE_INFORMATION_CLASS {
  KeyValueBasicInformation = 0,
  KeyValueFullInformation = 1,
  KeyValuePartialInformation = 2,
};

struct KEY_VALUE_BASIC_INFORMATION {
  ULONG TitleIndex;
  ULONG Type;
  ULONG NameLength;
  WCHAR Name[1];
};

// The value's data lies DataOffset bytes from the start of the record.
struct KEY_VALUE_FULL_INFORMATION {
  ULONG TitleIndex;
  ULONG Type;
  ULONG DataOffset;
  ULONG DataLength;
  ULONG NameLength;
  WCHAR Name[1];
};
using PKEY_VALUE_FULL_INFORMATION = KEY_VALUE_FULL_INFORMATION*;

struct KEY_VALUE_PARTIAL_INFORMATION {
  ULONG TitleIndex;
  ULONG Type;
  ULONG DataLength;
  UCHAR Data[1];
};

// Runs each entry of the table against the key that RelativeTo and Path name. A
// subkey entry moves the following entries into that subkey; a direct entry stores
// the value at EntryContext (a ULONG for data of four bytes or less, a
// UNICODE_STRING for strings, else a buffer that starts with its negated size); a
// missing value takes the entry's default when it has one. A missing key or subkey
// gives STATUS_OBJECT_NAME_NOT_FOUND, unless RTL_REGISTRY_OPTIONAL was given and the
// key named by Path itself is missing, which gives STATUS_SUCCESS with nothing read.
NTSTATUS RtlQueryRegistryValues(ULONG relativeTo, PCWSTR path, PRTL_QUERY_REGISTRY_TABLE queryTable,
                                PVOID context, PVOID environment);
// The key must exist; the value is created or replaced.
NTSTATUS RtlWriteRegistryValue(ULONG relativeTo, PCWSTR path, PCWSTR valueName, ULONG valueType,
                               PVOID valueData, ULONG valueLength);
NTSTATUS RtlDeleteRegistryValue(ULONG relativeTo, PCWSTR path, PCWSTR valueName);

// Opens the device's hardware key ("Device Parameters" under its instance key) or its
// driver key. The handle is closed with ZwClose.
NTSTATUS IoOpenDeviceRegistryKey(PDEVICE_OBJECT deviceObject, ULONG devInstKeyType,
                                 ACCESS_MASK desiredAccess, PHANDLE deviceRegKey);
// STATUS_BUFFER_TOO_SMALL when not even the fixed part fits, STATUS_BUFFER_OVERFLOW
// when only part of the record fits; resultLength is always the full size.
NTSTATUS ZwQueryValueKey(HANDLE keyHandle, PUNICODE_STRING valueName,
                         KEY_VALUE_INFORMATION_CLASS keyValueInformationClass,
                         PVOID keyValueInformation, ULONG length, PULONG resultLength);
NTSTATUS ZwClose(HANDLE handle);
