#pragma once
// The pool. Every block is tracked by tag, size and kind, so the verifier can report
// leaks and blocks carrying a tag other than the driver's.

#include "kernel/base_types.h"

enum POOL_TYPE {
  NonPagedPool = 0,
  PagedPool = 1,
  NonPagedPoolNx = 512,
};

// A pool tag from its four characters in memory order, as the tag reads in a dump.
constexpr ULONG MakePoolTag(char first, char second, char third, char fourth) {
  return static_cast<ULONG>(static_cast<UCHAR>(first)) |
         static_cast<ULONG>(static_cast<UCHAR>(second)) << 8 |
         static_cast<ULONG>(static_cast<UCHAR>(third)) << 16 |
         static_cast<ULONG>(static_cast<UCHAR>(fourth)) << 24;
}

// Returns null when the pool is exhausted (or the model was told to fail this one).
// The block's contents are not zeroed.
PVOID ExAllocatePoolWithTag(POOL_TYPE poolType, SIZE_T numberOfBytes, ULONG tag);
void ExFreePoolWithTag(PVOID block, ULONG tag);
void ExFreePool(PVOID block);
