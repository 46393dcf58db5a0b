#pragma once
// USB request blocks: the request a client driver hands to the USB stack with
// IOCTL_INTERNAL_USB_SUBMIT_URB (the URB in Parameters.Others.Argument1 of the
// stack location the bus driver receives). Each URB starts with a header giving
// its length, its function and, once completed, its USB status.

#include "kernel/device_object.h"
#include "kernel/usb/usb_descriptors.h"

inline constexpr DEVICE_TYPE FILE_DEVICE_USB = FILE_DEVICE_UNKNOWN;
inline constexpr ULONG USB_SUBMIT_URB = 0;
inline constexpr ULONG IOCTL_INTERNAL_USB_SUBMIT_URB =
    CTL_CODE(FILE_DEVICE_USB, USB_SUBMIT_URB, METHOD_NEITHER, FILE_ANY_ACCESS);

// Function codes.
inline constexpr USHORT URB_FUNCTION_SELECT_CONFIGURATION = 0x0000;
inline constexpr USHORT URB_FUNCTION_SELECT_INTERFACE = 0x0001;
inline constexpr USHORT URB_FUNCTION_ABORT_PIPE = 0x0002;
inline constexpr USHORT URB_FUNCTION_CONTROL_TRANSFER = 0x0008;
inline constexpr USHORT URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER = 0x0009;
inline constexpr USHORT URB_FUNCTION_ISOCH_TRANSFER = 0x000A;
inline constexpr USHORT URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE = 0x000B;
inline constexpr USHORT URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE = 0x000C;
inline constexpr USHORT URB_FUNCTION_SET_FEATURE_TO_DEVICE = 0x000D;
inline constexpr USHORT URB_FUNCTION_SET_FEATURE_TO_INTERFACE = 0x000E;
inline constexpr USHORT URB_FUNCTION_SET_FEATURE_TO_ENDPOINT = 0x000F;
inline constexpr USHORT URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE = 0x0010;
inline constexpr USHORT URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE = 0x0011;
inline constexpr USHORT URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT = 0x0012;
inline constexpr USHORT URB_FUNCTION_GET_STATUS_FROM_DEVICE = 0x0013;
inline constexpr USHORT URB_FUNCTION_VENDOR_DEVICE = 0x0017;
inline constexpr USHORT URB_FUNCTION_CLASS_DEVICE = 0x001A;
// Resets the host's side of the pipe and clears a halt of the endpoint.
inline constexpr USHORT URB_FUNCTION_RESET_PIPE = 0x001E;

// Transfer flags of bulk and interrupt transfers.
inline constexpr ULONG USBD_TRANSFER_DIRECTION_OUT = 0x0;
inline constexpr ULONG USBD_TRANSFER_DIRECTION_IN = 0x1;
inline constexpr ULONG USBD_SHORT_TRANSFER_OK = 0x2;

// USB status of an URB. Bits 31-30: 00 success, 01 pending, 1x error.
using USBD_STATUS = LONG;

constexpr USBD_STATUS MakeUsbdStatus(uint32_t value) {
  return static_cast<USBD_STATUS>(value);
}

inline constexpr USBD_STATUS USBD_STATUS_SUCCESS = MakeUsbdStatus(0x00000000);
inline constexpr USBD_STATUS USBD_STATUS_PENDING = MakeUsbdStatus(0x40000000);
inline constexpr USBD_STATUS USBD_STATUS_CRC = MakeUsbdStatus(0xC0000001);
inline constexpr USBD_STATUS USBD_STATUS_STALL_PID = MakeUsbdStatus(0xC0000004);
inline constexpr USBD_STATUS USBD_STATUS_DEV_NOT_RESPONDING = MakeUsbdStatus(0xC0000005);
inline constexpr USBD_STATUS USBD_STATUS_DATA_OVERRUN = MakeUsbdStatus(0xC0000008);
inline constexpr USBD_STATUS USBD_STATUS_BUFFER_OVERRUN = MakeUsbdStatus(0xC000000C);
inline constexpr USBD_STATUS USBD_STATUS_ENDPOINT_HALTED = MakeUsbdStatus(0xC0000030);
inline constexpr USBD_STATUS USBD_STATUS_NO_MEMORY = MakeUsbdStatus(0x80000100);
inline constexpr USBD_STATUS USBD_STATUS_INVALID_URB_FUNCTION = MakeUsbdStatus(0x80000200);
inline constexpr USBD_STATUS USBD_STATUS_INVALID_PARAMETER = MakeUsbdStatus(0x80000300);
inline constexpr USBD_STATUS USBD_STATUS_ERROR_BUSY = MakeUsbdStatus(0x80000400);
inline constexpr USBD_STATUS USBD_STATUS_REQUEST_FAILED = MakeUsbdStatus(0x80000500);
inline constexpr USBD_STATUS USBD_STATUS_INVALID_PIPE_HANDLE = MakeUsbdStatus(0x80000600);
inline constexpr USBD_STATUS USBD_STATUS_NO_BANDWIDTH = MakeUsbdStatus(0x80000700);
inline constexpr USBD_STATUS USBD_STATUS_INTERNAL_HC_ERROR = MakeUsbdStatus(0x80000800);
inline constexpr USBD_STATUS USBD_STATUS_ERROR_SHORT_TRANSFER = MakeUsbdStatus(0x80000900);
inline constexpr USBD_STATUS USBD_STATUS_DEVICE_GONE = MakeUsbdStatus(0xC0007000);
inline constexpr USBD_STATUS USBD_STATUS_CANCELED = MakeUsbdStatus(0xC0010000);

constexpr bool USBD_SUCCESS(USBD_STATUS status) {
  return status >= 0;
}
constexpr bool USBD_PENDING(USBD_STATUS status) {
  return (static_cast<uint32_t>(status) >> 30) == 1;
}
constexpr bool USBD_ERROR(USBD_STATUS status) {
  return status < 0;
}
constexpr bool USBD_HALTED(USBD_STATUS status) {
  return (static_cast<uint32_t>(status) >> 30) == 3;
}

using USBD_PIPE_HANDLE = PVOID;
using USBD_CONFIGURATION_HANDLE = PVOID;
using USBD_INTERFACE_HANDLE = PVOID;

enum USBD_PIPE_TYPE {
  UsbdPipeTypeControl = 0,
  UsbdPipeTypeIsochronous = 1,
  UsbdPipeTypeBulk = 2,
  UsbdPipeTypeInterrupt = 3,
};

// The transfer size a pipe starts with unless its client asks for another.
inline constexpr ULONG USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE = 4096;

// One pipe of a selected interface. The client fills in MaximumTransferSize and
// PipeFlags; the stack fills in the rest when the configuration is selected.
struct USBD_PIPE_INFORMATION {
  USHORT MaximumPacketSize;
  UCHAR EndpointAddress;
  UCHAR Interval;
  USBD_PIPE_TYPE PipeType;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG MaximumTransferSize;
  ULONG PipeFlags;
};
using PUSBD_PIPE_INFORMATION = USBD_PIPE_INFORMATION*;

// One interface of a select-configuration request, Length bytes long: the fixed
// part and NumberOfPipes pipe records (at least one record's room is always there).
struct USBD_INTERFACE_INFORMATION {
  USHORT Length;
  UCHAR InterfaceNumber;
  UCHAR AlternateSetting;
  UCHAR Class;
  UCHAR SubClass;
  UCHAR Protocol;
  UCHAR Reserved;
  USBD_INTERFACE_HANDLE InterfaceHandle;
  ULONG NumberOfPipes;
  USBD_PIPE_INFORMATION Pipes[1];
};
using PUSBD_INTERFACE_INFORMATION = USBD_INTERFACE_INFORMATION*;

// Bytes of an interface record with n pipes (a record always has room for one).
// Pipe records past the first are reached with UsbdPipeAt.
constexpr USHORT GET_USBD_INTERFACE_SIZE(ULONG numberOfPipes) {
  return static_cast<USHORT>(sizeof(USBD_INTERFACE_INFORMATION) +
                             (numberOfPipes > 1 ? numberOfPipes - 1 : 0) *
                                 sizeof(USBD_PIPE_INFORMATION));
}

struct URB;
using PURB = URB*;

struct _URB_HEADER {
  USHORT Length;
  USHORT Function;
  USBD_STATUS Status;
  PVOID UsbdDeviceHandle;
  ULONG UsbdFlags;
};

// Room the host controller keeps in a transfer URB while it owns it.
struct _URB_HCD_AREA {
  PVOID Reserved8[8];
};

// ConfigurationDescriptor null: the device goes back to the unconfigured state.
struct _URB_SELECT_CONFIGURATION {
  _URB_HEADER Hdr;
  PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor;
  USBD_CONFIGURATION_HANDLE ConfigurationHandle;
  // Interface records follow one another up to Hdr.Length.
  USBD_INTERFACE_INFORMATION Interface;
};

// ABORT_PIPE and RESET_PIPE.
struct _URB_PIPE_REQUEST {
  _URB_HEADER Hdr;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG Reserved;
};

struct _URB_BULK_OR_INTERRUPT_TRANSFER {
  _URB_HEADER Hdr;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG TransferFlags;
  // Asked for on the way down; the bytes transferred on the way back.
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  PMDL TransferBufferMDL;
  URB* UrbLink;
  _URB_HCD_AREA hca;
};

struct _URB_CONTROL_DESCRIPTOR_REQUEST {
  _URB_HEADER Hdr;
  PVOID Reserved;
  ULONG Reserved0;
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  PMDL TransferBufferMDL;
  URB* UrbLink;
  _URB_HCD_AREA hca;
  USHORT Reserved1;
  UCHAR Index;
  UCHAR DescriptorType;
  USHORT LanguageId;
  USHORT Reserved2;
};

// SET_FEATURE and CLEAR_FEATURE to a device, interface or endpoint.
struct _URB_CONTROL_FEATURE_REQUEST {
  _URB_HEADER Hdr;
  PVOID Reserved;
  ULONG Reserved2;
  ULONG Reserved3;
  PVOID Reserved4;
  PMDL Reserved5;
  URB* UrbLink;
  _URB_HCD_AREA hca;
  USHORT Reserved0;
  USHORT FeatureSelector;
  USHORT Index;
  USHORT Reserved1;
};

struct URB {
  union {
    _URB_HEADER UrbHeader;
    _URB_SELECT_CONFIGURATION UrbSelectConfiguration;
    _URB_PIPE_REQUEST UrbPipeRequest;
    _URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
    _URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
    _URB_CONTROL_FEATURE_REQUEST UrbControlFeatureRequest;
  };
};

// Pipe i of an interface record whose Length covers it. Indexing Pipes directly
// past its declared single element is out of bounds in the language's terms.
inline PUSBD_PIPE_INFORMATION UsbdPipeAt(PUSBD_INTERFACE_INFORMATION record, ULONG index) {
  return reinterpret_cast<PUSBD_PIPE_INFORMATION>(reinterpret_cast<PUCHAR>(record) +
                                                  offsetof(USBD_INTERFACE_INFORMATION, Pipes) +
                                                  index * sizeof(USBD_PIPE_INFORMATION));
}
