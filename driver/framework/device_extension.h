#pragma once
// The per-device record, allocated zeroed with each device object. The framework's
// fields come in their fixed order; the places marked SERIAL-PORT STATE belong to
// the serial-port code, which adds its fields there.
//
// Flags (Started, Removed, RemovePending, PortOpen, PoweredDown) are single bytes
// that other processors read without a lock: write them with WriteBooleanNoFence and
// read them with ReadBooleanNoFence. Counters change only by interlocked operations.

#include "driver/framework/serial_interface.h"
#include "kernel/kernel.h"

// USB records, defined with the USB driver interface.
struct USB_CONFIGURATION_DESCRIPTOR;
struct USB_DEVICE_DESCRIPTOR;
struct USBD_INTERFACE_INFORMATION;
struct USBD_PIPE_INFORMATION;
using USBD_CONFIGURATION_HANDLE = PVOID;

inline constexpr ULONG PIPE_TABLE_SLOTS = 16;
inline constexpr ULONG READ_BUFFER_COUNT = 2;
inline constexpr USHORT PORT_NAME_BUFFER_BYTES = 66;

struct DEVICE_EXTENSION {
  ULONG BulkInAddress;
  ULONG BulkOutAddress;
  USBD_CONFIGURATION_HANDLE ConfigurationHandle;
  USB_CONFIGURATION_DESCRIPTOR* ConfigurationDescriptor;
  USB_DEVICE_DESCRIPTOR* DeviceDescriptor;
  // InterfaceCount owned copies followed by a null entry.
  USBD_INTERFACE_INFORMATION** InterfaceList;
  ULONG InterfaceCount;
  USBD_PIPE_INFORMATION* PipeTable[PIPE_TABLE_SLOTS];
  volatile LONG OpenCount;
  BOOLEAN PortOpen;
  PDRIVER_OBJECT DriverObject;
  PDEVICE_OBJECT DeviceObject;
  PDEVICE_OBJECT PhysicalDeviceObject;
  UNICODE_STRING InterfaceName;
  PDEVICE_OBJECT LowerDeviceObject;
  UNICODE_STRING DeviceName;
  UNICODE_STRING DosLinkName;
  UNICODE_STRING PortName;

  // ---- SERIAL-PORT STATE: interval amounts, request queues and active slots,
  // receive ring, event mask and history, error flags, line settings, handshake,
  // special characters, statistics. The framework reads the two below (error
  // abort); ErrorFlags changes by interlocked operations or WriteULongNoFence.
  SERIAL_HANDFLOW PortHandFlow;
  volatile ULONG ErrorFlags;
  // ---- end of serial-port state.

  BOOLEAN DosLinkCreated;
  BOOLEAN SerialCommWritten;

  // ---- SERIAL-PORT STATE: SettingsLock, and the timers with their DPCs.
  // ---- end of serial-port state.

  DEVICE_POWER_STATE DevicePowerState;
  PIRP PendingSystemPowerIrp;
  BOOLEAN PoweredDown;
  BOOLEAN Removed;
  // Set when OutstandingIo falls to 0; nothing resets it.
  KEVENT RemoveEvent;
  // Set when OutstandingIo falls to 1; nothing resets it.
  KEVENT StopEvent;
  // 1 (the bias taken by AddDevice) while the device exists and is idle, plus one for
  // every request or URB in progress.
  volatile LONG OutstandingIo;
  BOOLEAN RemovePending;
  BOOLEAN Started;

  // ---- SERIAL-PORT STATE: ModemControl and ModemStatus.
  // ---- end of serial-port state.

  KSPIN_LOCK ReadBufferLock;
  ULONG NextReadBuffer;
  PUCHAR ReadBuffers[READ_BUFFER_COUNT];
  volatile LONG PendingReads;
  KEVENT ReadsDrainedEvent;
  volatile LONG ReadErrorCount;
  KSPIN_LOCK AbortLock;
  BOOLEAN AbortInProgress;

  // ---- SERIAL-PORT STATE: RxLock.
  // ---- end of serial-port state.

  ULONG DeviceNumber;
};
using PDEVICE_EXTENSION = DEVICE_EXTENSION*;

inline PDEVICE_EXTENSION ExtensionOf(PDEVICE_OBJECT deviceObject) {
  return static_cast<PDEVICE_EXTENSION>(deviceObject->DeviceExtension);
}
