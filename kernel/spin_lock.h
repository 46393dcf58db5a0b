#pragma once
// Spin locks. Acquiring raises to DISPATCH_LEVEL; the verifier watches the IRQL of
// every release, recursion, and the order in which locks nest.

#include "kernel/base_types.h"
#include "kernel/irql.h"

using KSPIN_LOCK = ULONG_PTR;
using PKSPIN_LOCK = KSPIN_LOCK*;

void KeInitializeSpinLock(PKSPIN_LOCK spinLock);
KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK spinLock);
void KeAcquireSpinLock(PKSPIN_LOCK spinLock, PKIRQL oldIrql);
void KeReleaseSpinLock(PKSPIN_LOCK spinLock, KIRQL newIrql);
// The at-DPC-level variants leave the IRQL alone; the caller is at DISPATCH_LEVEL.
void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK spinLock);
void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK spinLock);
