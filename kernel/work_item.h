#pragma once
// Work items: a routine run later at PASSIVE_LEVEL on a system worker thread.

#include "kernel/device_object.h"

struct IO_WORKITEM;
using PIO_WORKITEM = IO_WORKITEM*;
enum WORK_QUEUE_TYPE { CriticalWorkQueue = 0, DelayedWorkQueue = 1 };
using IO_WORKITEM_ROUTINE = void(PDEVICE_OBJECT deviceObject, PVOID context);
using PIO_WORKITEM_ROUTINE = IO_WORKITEM_ROUTINE*;

// Null when no memory is left.
PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT deviceObject);
void IoFreeWorkItem(PIO_WORKITEM workItem);
void IoQueueWorkItem(PIO_WORKITEM workItem, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE queueType,
                     PVOID context);
