#pragma once
// Interlocked operations: full-barrier atomic read-modify-writes. Each returns what
// the kernel's documents say: the new value for increment and decrement, the old one
// for the exchanges and for add.

#include "kernel/base_types.h"

inline LONG InterlockedIncrement(volatile LONG* addend) {
  return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* addend) {
  return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(volatile LONG* addend, LONG value) {
  return __atomic_fetch_add(addend, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(volatile LONG* destination, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
inline LONG InterlockedOr(volatile LONG* destination, LONG value) {
  return __atomic_fetch_or(destination, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedAnd(volatile LONG* destination, LONG value) {
  return __atomic_fetch_and(destination, value, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedCompareExchangePointer(PVOID volatile* destination, PVOID exchange,
                                               PVOID comparand) {
  __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
