#pragma once
// NTSTATUS values with their numeric values. Bits 31-30 give the severity:
// 00 success, 01 informational, 10 warning, 11 error.

#include "kernel/base_types.h"

constexpr NTSTATUS MakeStatus(uint32_t value) {
  return static_cast<NTSTATUS>(value);
}

inline constexpr NTSTATUS STATUS_SUCCESS = MakeStatus(0x00000000);
inline constexpr NTSTATUS STATUS_WAIT_0 = MakeStatus(0x00000000);
inline constexpr NTSTATUS STATUS_TIMEOUT = MakeStatus(0x00000102);
inline constexpr NTSTATUS STATUS_PENDING = MakeStatus(0x00000103);
inline constexpr NTSTATUS STATUS_CONTINUE_COMPLETION = STATUS_SUCCESS;
inline constexpr NTSTATUS STATUS_OBJECT_NAME_EXISTS = MakeStatus(0x40000000);
inline constexpr NTSTATUS STATUS_BUFFER_OVERFLOW = MakeStatus(0x80000005);
inline constexpr NTSTATUS STATUS_DEVICE_BUSY = MakeStatus(0x80000011);
inline constexpr NTSTATUS STATUS_NO_MORE_ENTRIES = MakeStatus(0x8000001A);
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = MakeStatus(0xC0000001);
inline constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = MakeStatus(0xC0000002);
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = MakeStatus(0xC0000008);
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = MakeStatus(0xC000000D);
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER_2 = MakeStatus(0xC00000F0);
inline constexpr NTSTATUS STATUS_NO_SUCH_DEVICE = MakeStatus(0xC000000E);
inline constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = MakeStatus(0xC0000010);
inline constexpr NTSTATUS STATUS_MORE_PROCESSING_REQUIRED = MakeStatus(0xC0000016);
inline constexpr NTSTATUS STATUS_NO_MEMORY = MakeStatus(0xC0000017);
inline constexpr NTSTATUS STATUS_ACCESS_DENIED = MakeStatus(0xC0000022);
inline constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = MakeStatus(0xC0000023);
inline constexpr NTSTATUS STATUS_OBJECT_TYPE_MISMATCH = MakeStatus(0xC0000024);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_INVALID = MakeStatus(0xC0000033);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = MakeStatus(0xC0000034);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = MakeStatus(0xC0000035);
inline constexpr NTSTATUS STATUS_OBJECT_PATH_NOT_FOUND = MakeStatus(0xC000003A);
inline constexpr NTSTATUS STATUS_DATA_ERROR = MakeStatus(0xC000003E);
inline constexpr NTSTATUS STATUS_DELETE_PENDING = MakeStatus(0xC0000056);
inline constexpr NTSTATUS STATUS_INVALID_ID_AUTHORITY = MakeStatus(0xC0000084);
inline constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = MakeStatus(0xC000009A);
inline constexpr NTSTATUS STATUS_DEVICE_DATA_ERROR = MakeStatus(0xC000009C);
inline constexpr NTSTATUS STATUS_DEVICE_NOT_CONNECTED = MakeStatus(0xC000009D);
inline constexpr NTSTATUS STATUS_NOT_SUPPORTED = MakeStatus(0xC00000BB);
inline constexpr NTSTATUS STATUS_NOT_A_DIRECTORY = MakeStatus(0xC0000103);
inline constexpr NTSTATUS STATUS_CANCELLED = MakeStatus(0xC0000120);
inline constexpr NTSTATUS STATUS_INVALID_DEVICE_STATE = MakeStatus(0xC0000184);
inline constexpr NTSTATUS STATUS_IO_DEVICE_ERROR = MakeStatus(0xC0000185);
inline constexpr NTSTATUS STATUS_NOT_FOUND = MakeStatus(0xC0000225);

constexpr bool NT_SUCCESS(NTSTATUS status) {
  return status >= 0;
}
constexpr bool NT_INFORMATION(NTSTATUS status) {
  return (static_cast<uint32_t>(status) >> 30) == 1;
}
constexpr bool NT_WARNING(NTSTATUS status) {
  return (static_cast<uint32_t>(status) >> 30) == 2;
}
constexpr bool NT_ERROR(NTSTATUS status) {
  return (static_cast<uint32_t>(status) >> 30) == 3;
}
