#pragma once
// Plug and Play and power minor functions, and the capabilities record.

#include "kernel/base_types.h"
#include "kernel/power_types.h"

inline constexpr UCHAR IRP_MN_START_DEVICE = 0x00;
inline constexpr UCHAR IRP_MN_QUERY_REMOVE_DEVICE = 0x01;
inline constexpr UCHAR IRP_MN_REMOVE_DEVICE = 0x02;
inline constexpr UCHAR IRP_MN_CANCEL_REMOVE_DEVICE = 0x03;
inline constexpr UCHAR IRP_MN_STOP_DEVICE = 0x04;
inline constexpr UCHAR IRP_MN_QUERY_STOP_DEVICE = 0x05;
inline constexpr UCHAR IRP_MN_CANCEL_STOP_DEVICE = 0x06;
inline constexpr UCHAR IRP_MN_QUERY_DEVICE_RELATIONS = 0x07;
inline constexpr UCHAR IRP_MN_QUERY_INTERFACE = 0x08;
inline constexpr UCHAR IRP_MN_QUERY_CAPABILITIES = 0x09;
inline constexpr UCHAR IRP_MN_QUERY_RESOURCES = 0x0a;
inline constexpr UCHAR IRP_MN_QUERY_RESOURCE_REQUIREMENTS = 0x0b;
inline constexpr UCHAR IRP_MN_QUERY_DEVICE_TEXT = 0x0c;
inline constexpr UCHAR IRP_MN_FILTER_RESOURCE_REQUIREMENTS = 0x0d;
inline constexpr UCHAR IRP_MN_READ_CONFIG = 0x0f;
inline constexpr UCHAR IRP_MN_WRITE_CONFIG = 0x10;
inline constexpr UCHAR IRP_MN_EJECT = 0x11;
inline constexpr UCHAR IRP_MN_SET_LOCK = 0x12;
inline constexpr UCHAR IRP_MN_QUERY_ID = 0x13;
inline constexpr UCHAR IRP_MN_QUERY_PNP_DEVICE_STATE = 0x14;
inline constexpr UCHAR IRP_MN_QUERY_BUS_INFORMATION = 0x15;
inline constexpr UCHAR IRP_MN_DEVICE_USAGE_NOTIFICATION = 0x16;
inline constexpr UCHAR IRP_MN_SURPRISE_REMOVAL = 0x17;

inline constexpr UCHAR IRP_MN_WAIT_WAKE = 0x00;
inline constexpr UCHAR IRP_MN_POWER_SEQUENCE = 0x01;
inline constexpr UCHAR IRP_MN_SET_POWER = 0x02;
inline constexpr UCHAR IRP_MN_QUERY_POWER = 0x03;

struct DEVICE_CAPABILITIES {
  USHORT Size;
  USHORT Version;
  ULONG DeviceD1 : 1;
  ULONG DeviceD2 : 1;
  ULONG LockSupported : 1;
  ULONG EjectSupported : 1;
  ULONG Removable : 1;
  ULONG DockDevice : 1;
  ULONG UniqueID : 1;
  ULONG SilentInstall : 1;
  ULONG RawDeviceOK : 1;
  ULONG SurpriseRemovalOK : 1;
  ULONG WakeFromD0 : 1;
  ULONG WakeFromD1 : 1;
  ULONG WakeFromD2 : 1;
  ULONG WakeFromD3 : 1;
  ULONG HardwareDisabled : 1;
  ULONG NonDynamic : 1;
  ULONG WarmEjectSupported : 1;
  ULONG NoDisplayInUI : 1;
  ULONG Reserved : 14;
  ULONG Address;
  ULONG UINumber;
  DEVICE_POWER_STATE DeviceState[PowerSystemMaximum];
  SYSTEM_POWER_STATE SystemWake;
  DEVICE_POWER_STATE DeviceWake;
  ULONG D1Latency;
  ULONG D2Latency;
  ULONG D3Latency;
};
