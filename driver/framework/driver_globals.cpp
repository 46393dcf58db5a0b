#include "driver/framework/driver_globals.h"

ULONG UrbTimeoutMs = DEFAULT_URB_TIMEOUT_MS;
BOOLEAN ReportSurpriseRemovalOk = FALSE;
UCHAR DeviceNumberMap[DEVICE_NUMBER_MAP_BYTES];
KSPIN_LOCK DeviceNumberLock;
