#pragma once
// The power manager's calls for drivers. Power requests travel as IRP_MJ_POWER IRPs;
// a device power request asked for with PoRequestPowerIrp is sent to the top of the
// device's stack from a system worker, and its callback runs when it completes.

#include "kernel/device_object.h"
#include "kernel/irp.h"
#include "kernel/power_types.h"

using REQUEST_POWER_COMPLETE = void(PDEVICE_OBJECT deviceObject, UCHAR minorFunction,
                                    POWER_STATE powerState, PVOID context,
                                    PIO_STATUS_BLOCK ioStatus);
using PREQUEST_POWER_COMPLETE = REQUEST_POWER_COMPLETE*;

NTSTATUS PoCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp);
void PoStartNextPowerIrp(PIRP irp);
// Returns STATUS_PENDING when the request was issued.
NTSTATUS PoRequestPowerIrp(PDEVICE_OBJECT deviceObject, UCHAR minorFunction, POWER_STATE powerState,
                           PREQUEST_POWER_COMPLETE completionFunction, PVOID context, PIRP* irp);
