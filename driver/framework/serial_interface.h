#pragma once
// The parts of the public serial control interface that the framework itself reads.
// The serial-port code adds the rest of the interface beside these.

#include "kernel/kernel.h"

struct SERIAL_HANDFLOW {
  ULONG ControlHandShake;
  ULONG FlowReplace;
  LONG XonLimit;
  LONG XoffLimit;
};

inline constexpr ULONG SERIAL_DTR_CONTROL = 0x00000001;
inline constexpr ULONG SERIAL_ERROR_ABORT = 0x80000000;
inline constexpr ULONG SERIAL_RTS_CONTROL = 0x00000040;

inline constexpr ULONG IOCTL_SERIAL_GET_COMMSTATUS =
    CTL_CODE(FILE_DEVICE_SERIAL_PORT, 27, METHOD_BUFFERED, FILE_ANY_ACCESS);
