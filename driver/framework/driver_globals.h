#pragma once
// Driver-wide state: one copy for all devices, from driver entry until the image is
// unloaded.

#include "kernel/kernel.h"

// Every pool allocation of the driver carries this tag: "MREC" as it reads in memory.
inline constexpr ULONG DRIVER_POOL_TAG = MakePoolTag('M', 'R', 'E', 'C');

inline constexpr ULONG DEFAULT_URB_TIMEOUT_MS = 5000;
inline constexpr ULONG DEVICE_NUMBER_MAP_BYTES = 32;

// Time limit of every synchronous abort-pipe request, in milliseconds.
extern ULONG UrbTimeoutMs;
// TRUE only when the service key holds TaskTrayIcon = 0.
extern BOOLEAN ReportSurpriseRemovalOk;
// Device numbers in use: bit j of byte i stands for number i * 8 + j + 1.
extern UCHAR DeviceNumberMap[DEVICE_NUMBER_MAP_BYTES];
// Guards DeviceNumberMap.
extern KSPIN_LOCK DeviceNumberLock;
