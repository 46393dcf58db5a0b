#pragma once
// Counted UTF-16 strings.

#include "kernel/base_types.h"
#include "kernel/ntstatus.h"

void RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source);
// Copies as much as fits into the destination's buffer.
void RtlCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source);
// STATUS_BUFFER_TOO_SMALL (and no change) when the text does not fit; a zero is
// stored after the text when there is room for it.
NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING destination, PCWSTR source);
NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING destination, PCUNICODE_STRING source);
// Base 2, 8, 10 or 16 (0 means 10).
NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING string);
BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN caseInsensitive);
// Frees a buffer that a kernel service allocated for the caller (for instance the
// symbolic name of a device interface) and empties the string.
void RtlFreeUnicodeString(PUNICODE_STRING string);
