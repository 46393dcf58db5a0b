#pragma once
// Time, timers and DPCs. A timer set with a relative due time expires on the first
// clock tick at or after the due moment (never at the moment it is set); its DPC is
// then queued and runs on a processor at DISPATCH_LEVEL.

#include "kernel/base_types.h"
#include "kernel/event.h"

struct KDPC;
using PKDPC = KDPC*;
using PRKDPC = KDPC*;

using KDEFERRED_ROUTINE = void(PKDPC dpc, PVOID deferredContext, PVOID systemArgument1,
                               PVOID systemArgument2);
using PKDEFERRED_ROUTINE = KDEFERRED_ROUTINE*;

struct KDPC {
  UCHAR Type;
  UCHAR Importance;
  USHORT Number;
  LIST_ENTRY DpcListEntry;
  PKDEFERRED_ROUTINE DeferredRoutine;
  PVOID DeferredContext;
  PVOID SystemArgument1;
  PVOID SystemArgument2;
  // Non-null while the DPC is queued; owned by the model's DPC queue.
  PVOID DpcData;
};

enum TIMER_TYPE { NotificationTimer = 0, SynchronizationTimer = 1 };

struct KTIMER {
  DISPATCHER_HEADER Header;
  // The expiry moment, absolute, while the timer is set.
  LARGE_INTEGER DueTime;
  PKDPC Dpc;
  LONG Period;
  // Identifies the timer's place in the model's timer queue; 0 when not queued.
  ULONGLONG QueueKey;
};
using PKTIMER = KTIMER*;

// 100-ns units since 1 January 1601.
void KeQuerySystemTime(PLARGE_INTEGER currentTime);

void KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE deferredRoutine, PVOID deferredContext);
// Returns FALSE when the DPC is already queued (it is not queued twice).
BOOLEAN KeInsertQueueDpc(PRKDPC dpc, PVOID systemArgument1, PVOID systemArgument2);
// Returns TRUE when the DPC was queued and has been taken out before it ran.
BOOLEAN KeRemoveQueueDpc(PRKDPC dpc);
// Returns once every DPC queued before the call has run.
void KeFlushQueuedDpcs();

void KeInitializeTimer(PKTIMER timer);
void KeInitializeTimerEx(PKTIMER timer, TIMER_TYPE type);
// Returns TRUE when the timer was already set (it is set again from now).
BOOLEAN KeSetTimer(PKTIMER timer, LARGE_INTEGER dueTime, PKDPC dpc);
// Returns TRUE when the timer was taken out of the timer queue before it expired;
// FALSE when it was not set or has already expired (its DPC may still be due).
BOOLEAN KeCancelTimer(PKTIMER timer);
BOOLEAN KeReadStateTimer(PKTIMER timer);
