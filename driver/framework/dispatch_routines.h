#pragma once
// The entry points that driver entry registers.

#include "kernel/kernel.h"

DRIVER_ADD_DEVICE AddDevice;
DRIVER_DISPATCH DispatchCreate;
DRIVER_DISPATCH DispatchClose;
DRIVER_DISPATCH DispatchCleanup;
DRIVER_DISPATCH DispatchRead;
DRIVER_DISPATCH DispatchWrite;
DRIVER_DISPATCH DispatchFlush;
DRIVER_DISPATCH DispatchQueryInformation;
DRIVER_DISPATCH DispatchSetInformation;
DRIVER_DISPATCH DispatchDeviceControl;
DRIVER_DISPATCH DispatchInternalDeviceControl;
DRIVER_DISPATCH DispatchPnp;
DRIVER_DISPATCH DispatchPower;
DRIVER_DISPATCH DispatchSystemControl;
