#pragma once
// The kernel's basic types, strings and doubly linked lists, with the names drivers
// use. UTF-16 text is char16_t, so driver string literals are written u"...".

#include <cstddef>
#include <cstdint>
#include <cstring>

using UCHAR = uint8_t;
using CHAR = char;
using CCHAR = char;
using USHORT = uint16_t;
using SHORT = int16_t;
using CSHORT = int16_t;
using ULONG = uint32_t;
using LONG = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using ULONG_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using SIZE_T = size_t;
using BOOLEAN = UCHAR;
using WCHAR = char16_t;
using VOID = void;
using PVOID = void*;
using HANDLE = void*;
using ACCESS_MASK = ULONG;
using DEVICE_TYPE = ULONG;
using NTSTATUS = LONG;
using KIRQL = UCHAR;
using KPROCESSOR_MODE = CCHAR;

using PUCHAR = UCHAR*;
using PCHAR = CHAR*;
using PUSHORT = USHORT*;
using PULONG = ULONG*;
using PLONG = LONG*;
using PBOOLEAN = BOOLEAN*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using PHANDLE = HANDLE*;
using PKIRQL = KIRQL*;
using PULONG_PTR = ULONG_PTR*;

inline constexpr BOOLEAN TRUE = 1;
inline constexpr BOOLEAN FALSE = 0;

inline constexpr KPROCESSOR_MODE KernelMode = 0;
inline constexpr KPROCESSOR_MODE UserMode = 1;

union LARGE_INTEGER {
  struct {
    ULONG LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

struct GUID {
  ULONG Data1;
  USHORT Data2;
  USHORT Data3;
  UCHAR Data4[8];
};
using LPGUID = GUID*;
using LPCGUID = const GUID*;

inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

// Lengths are in bytes, without a terminating zero.
struct UNICODE_STRING {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
using PUNICODE_STRING = UNICODE_STRING*;
using PCUNICODE_STRING = const UNICODE_STRING*;

struct LIST_ENTRY {
  LIST_ENTRY* Flink;
  LIST_ENTRY* Blink;
};
using PLIST_ENTRY = LIST_ENTRY*;

#define CONTAINING_RECORD(address, type, field) \
  (reinterpret_cast<type*>(reinterpret_cast<char*>(address) - offsetof(type, field)))

#define UNREFERENCED_PARAMETER(p) static_cast<void>(p)

inline void InitializeListHead(PLIST_ENTRY head) {
  head->Flink = head->Blink = head;
}

inline BOOLEAN IsListEmpty(const LIST_ENTRY* head) {
  return head->Flink == head;
}

inline BOOLEAN RemoveEntryList(PLIST_ENTRY entry) {
  PLIST_ENTRY next = entry->Flink;
  PLIST_ENTRY prev = entry->Blink;
  prev->Flink = next;
  next->Blink = prev;
  return next == prev;
}

inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY head) {
  PLIST_ENTRY entry = head->Flink;
  RemoveEntryList(entry);
  return entry;
}

inline PLIST_ENTRY RemoveTailList(PLIST_ENTRY head) {
  PLIST_ENTRY entry = head->Blink;
  RemoveEntryList(entry);
  return entry;
}

inline void InsertTailList(PLIST_ENTRY head, PLIST_ENTRY entry) {
  PLIST_ENTRY last = head->Blink;
  entry->Flink = head;
  entry->Blink = last;
  last->Flink = entry;
  head->Blink = entry;
}

inline void InsertHeadList(PLIST_ENTRY head, PLIST_ENTRY entry) {
  PLIST_ENTRY first = head->Flink;
  entry->Flink = first;
  entry->Blink = head;
  first->Blink = entry;
  head->Flink = entry;
}

inline void RtlZeroMemory(void* destination, SIZE_T length) {
  std::memset(destination, 0, length);
}
inline void RtlFillMemory(void* destination, SIZE_T length, UCHAR fill) {
  std::memset(destination, fill, length);
}
inline void RtlCopyMemory(void* destination, const void* source, SIZE_T length) {
  std::memcpy(destination, source, length);
}
inline void RtlMoveMemory(void* destination, const void* source, SIZE_T length) {
  std::memmove(destination, source, length);
}

// Reads and writes of flags that other processors read without a lock: single,
// untorn accesses with no ordering, as a processor's byte stores are.
inline BOOLEAN ReadBooleanNoFence(const volatile BOOLEAN* source) {
  return __atomic_load_n(source, __ATOMIC_RELAXED);
}
inline void WriteBooleanNoFence(volatile BOOLEAN* destination, BOOLEAN value) {
  __atomic_store_n(destination, value, __ATOMIC_RELAXED);
}
inline LONG ReadNoFence(const volatile LONG* source) {
  return __atomic_load_n(source, __ATOMIC_RELAXED);
}
inline ULONG ReadULongNoFence(const volatile ULONG* source) {
  return __atomic_load_n(source, __ATOMIC_RELAXED);
}
inline void WriteULongNoFence(volatile ULONG* destination, ULONG value) {
  __atomic_store_n(destination, value, __ATOMIC_RELAXED);
}
