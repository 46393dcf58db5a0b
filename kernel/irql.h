#pragma once
// Interrupt request levels. Each thread of the model carries its own IRQL: test
// threads start at PASSIVE_LEVEL, the model's processors run DPCs and completions at
// DISPATCH_LEVEL.

#include "kernel/base_types.h"

inline constexpr KIRQL PASSIVE_LEVEL = 0;
inline constexpr KIRQL LOW_LEVEL = 0;
inline constexpr KIRQL APC_LEVEL = 1;
inline constexpr KIRQL DISPATCH_LEVEL = 2;
inline constexpr KIRQL HIGH_LEVEL = 15;

KIRQL KeGetCurrentIrql();
// Raising to a level below the current one is a verifier violation.
void KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql);
KIRQL KeRaiseIrqlToDpcLevel();
// Lowering to a level above the current one is a verifier violation.
void KeLowerIrql(KIRQL newIrql);
