#include "kernel/unicode_string.h"

#include "kernel/pool.h"

namespace {

constexpr USHORT kMaxBytes = 0xFFFE;

USHORT Room(PCUNICODE_STRING string) {
  return string->MaximumLength - string->Length;
}

NTSTATUS Append(PUNICODE_STRING destination, PCWSTR source, size_t bytes) {
  if (bytes > Room(destination)) return STATUS_BUFFER_TOO_SMALL;
  RtlMoveMemory(reinterpret_cast<UCHAR*>(destination->Buffer) + destination->Length, source, bytes);
  destination->Length = static_cast<USHORT>(destination->Length + bytes);
  if (Room(destination) >= sizeof(WCHAR)) {
    destination->Buffer[destination->Length / sizeof(WCHAR)] = 0;
  }
  return STATUS_SUCCESS;
}

char16_t Fold(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

}  // namespace

void RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source) {
  destination->Buffer = const_cast<PWSTR>(source);
  size_t bytes = 0;
  if (source) {
    while (source[bytes / sizeof(WCHAR)] != 0) bytes += sizeof(WCHAR);
  }
  if (bytes > kMaxBytes - sizeof(WCHAR)) bytes = kMaxBytes - sizeof(WCHAR);
  destination->Length = static_cast<USHORT>(bytes);
  destination->MaximumLength = static_cast<USHORT>(source ? bytes + sizeof(WCHAR) : 0);
}

void RtlCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
  if (!source || !source->Buffer) {
    destination->Length = 0;
    return;
  }
  USHORT bytes =
      source->Length < destination->MaximumLength ? source->Length : destination->MaximumLength;
  RtlMoveMemory(destination->Buffer, source->Buffer, bytes);
  destination->Length = bytes;
  if (bytes + sizeof(WCHAR) <= destination->MaximumLength) {
    destination->Buffer[bytes / sizeof(WCHAR)] = 0;
  }
}

NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING destination, PCWSTR source) {
  if (!source) return STATUS_SUCCESS;
  size_t bytes = 0;
  while (source[bytes / sizeof(WCHAR)] != 0) bytes += sizeof(WCHAR);
  return Append(destination, source, bytes);
}

NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
  return Append(destination, source->Buffer, source->Length);
}

NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING string) {
  if (base == 0) base = 10;
  if (base != 2 && base != 8 && base != 10 && base != 16) return STATUS_INVALID_PARAMETER;
  WCHAR digits[33];
  int count = 0;
  do {
    ULONG digit = value % base;
    digits[count++] = static_cast<WCHAR>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
    value /= base;
  } while (value != 0);
  WCHAR text[33];
  for (int i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
  size_t bytes = static_cast<size_t>(count) * sizeof(WCHAR);
  if (bytes > string->MaximumLength) return STATUS_BUFFER_OVERFLOW;
  RtlCopyMemory(string->Buffer, text, bytes);
  string->Length = static_cast<USHORT>(bytes);
  if (bytes + sizeof(WCHAR) <= string->MaximumLength) string->Buffer[count] = 0;
  return STATUS_SUCCESS;
}

BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN caseInsensitive) {
  if (a->Length != b->Length) return FALSE;
  for (USHORT i = 0; i < a->Length / sizeof(WCHAR); ++i) {
    char16_t x = a->Buffer[i];
    char16_t y = b->Buffer[i];
    if (caseInsensitive ? Fold(x) != Fold(y) : x != y) return FALSE;
  }
  return TRUE;
}

void RtlFreeUnicodeString(PUNICODE_STRING string) {
  if (string->Buffer) ExFreePool(string->Buffer);
  string->Buffer = nullptr;
  string->Length = 0;
  string->MaximumLength = 0;
}
