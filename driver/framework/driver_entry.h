#pragma once
// The driver's entry point: registers AddDevice and the dispatch routines (no
// unload routine), clears the device-number map and reads the two parameters from
// the service key. Always returns STATUS_SUCCESS.

#include "kernel/kernel.h"

DRIVER_INITIALIZE DriverEntry;

// "Timeout" under the service key's "Parameters" subkey into UrbTimeoutMs (5000 when
// missing or 0), and "TaskTrayIcon" in the service key itself into
// ReportSurpriseRemovalOk (TRUE only for a value of 0).
void ReadDriverParameters(PCUNICODE_STRING registryPath);
