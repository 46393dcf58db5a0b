#pragma once
// I/O request packets: the packet, its stack locations with the parameter layouts
// drivers use, and the stack-location helpers.

#include "kernel/base_types.h"
#include "kernel/event.h"
#include "kernel/irql.h"
#include "kernel/ntstatus.h"
#include "kernel/power_types.h"

struct DEVICE_OBJECT;
using PDEVICE_OBJECT = DEVICE_OBJECT*;
struct IRP;
using PIRP = IRP*;
struct FILE_OBJECT;
using PFILE_OBJECT = FILE_OBJECT*;
struct MDL;
using PMDL = MDL*;
struct DEVICE_CAPABILITIES;
using PDEVICE_CAPABILITIES = DEVICE_CAPABILITIES*;
namespace kmodel {
struct IrpRecord;
}

// Major functions.
inline constexpr UCHAR IRP_MJ_CREATE = 0x00;
inline constexpr UCHAR IRP_MJ_CREATE_NAMED_PIPE = 0x01;
inline constexpr UCHAR IRP_MJ_CLOSE = 0x02;
inline constexpr UCHAR IRP_MJ_READ = 0x03;
inline constexpr UCHAR IRP_MJ_WRITE = 0x04;
inline constexpr UCHAR IRP_MJ_QUERY_INFORMATION = 0x05;
inline constexpr UCHAR IRP_MJ_SET_INFORMATION = 0x06;
inline constexpr UCHAR IRP_MJ_QUERY_EA = 0x07;
inline constexpr UCHAR IRP_MJ_SET_EA = 0x08;
inline constexpr UCHAR IRP_MJ_FLUSH_BUFFERS = 0x09;
inline constexpr UCHAR IRP_MJ_QUERY_VOLUME_INFORMATION = 0x0a;
inline constexpr UCHAR IRP_MJ_SET_VOLUME_INFORMATION = 0x0b;
inline constexpr UCHAR IRP_MJ_DIRECTORY_CONTROL = 0x0c;
inline constexpr UCHAR IRP_MJ_FILE_SYSTEM_CONTROL = 0x0d;
inline constexpr UCHAR IRP_MJ_DEVICE_CONTROL = 0x0e;
inline constexpr UCHAR IRP_MJ_INTERNAL_DEVICE_CONTROL = 0x0f;
inline constexpr UCHAR IRP_MJ_SHUTDOWN = 0x10;
inline constexpr UCHAR IRP_MJ_LOCK_CONTROL = 0x11;
inline constexpr UCHAR IRP_MJ_CLEANUP = 0x12;
inline constexpr UCHAR IRP_MJ_CREATE_MAILSLOT = 0x13;
inline constexpr UCHAR IRP_MJ_QUERY_SECURITY = 0x14;
inline constexpr UCHAR IRP_MJ_SET_SECURITY = 0x15;
inline constexpr UCHAR IRP_MJ_POWER = 0x16;
inline constexpr UCHAR IRP_MJ_SYSTEM_CONTROL = 0x17;
inline constexpr UCHAR IRP_MJ_DEVICE_CHANGE = 0x18;
inline constexpr UCHAR IRP_MJ_QUERY_QUOTA = 0x19;
inline constexpr UCHAR IRP_MJ_SET_QUOTA = 0x1a;
inline constexpr UCHAR IRP_MJ_PNP = 0x1b;
inline constexpr UCHAR IRP_MJ_MAXIMUM_FUNCTION = 0x1b;

// Stack-location control bits.
inline constexpr UCHAR SL_PENDING_RETURNED = 0x01;
inline constexpr UCHAR SL_INVOKE_ON_CANCEL = 0x20;
inline constexpr UCHAR SL_INVOKE_ON_SUCCESS = 0x40;
inline constexpr UCHAR SL_INVOKE_ON_ERROR = 0x80;

// Priority boosts given to IoCompleteRequest.
inline constexpr CCHAR IO_NO_INCREMENT = 0;
inline constexpr CCHAR IO_SERIAL_INCREMENT = 2;

// Create options (the low 24 bits of Parameters.Create.Options).
inline constexpr ULONG FILE_DIRECTORY_FILE = 0x00000001;
inline constexpr ULONG FILE_NON_DIRECTORY_FILE = 0x00000040;

enum FILE_INFORMATION_CLASS {
  FileBasicInformation = 4,
  FileStandardInformation = 5,
  FilePositionInformation = 14,
  FileAllocationInformation = 19,
  FileEndOfFileInformation = 20,
};

struct IO_STATUS_BLOCK {
  union {
    NTSTATUS Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};
using PIO_STATUS_BLOCK = IO_STATUS_BLOCK*;

struct FILE_OBJECT {
  CSHORT Type;
  CSHORT Size;
  PDEVICE_OBJECT DeviceObject;
  PVOID FsContext;
  PVOID FsContext2;
  ULONG Flags;
  UNICODE_STRING FileName;
};

using IO_COMPLETION_ROUTINE = NTSTATUS(PDEVICE_OBJECT deviceObject, PIRP irp, PVOID context);
using PIO_COMPLETION_ROUTINE = IO_COMPLETION_ROUTINE*;
using DRIVER_CANCEL = void(PDEVICE_OBJECT deviceObject, PIRP irp);
using PDRIVER_CANCEL = DRIVER_CANCEL*;

// Parameter layouts. Members that the kernel aligns to pointer size are aligned so,
// which puts DeviceIoControl.Type3InputBuffer on Others.Argument4 as drivers expect.
#define KMODEL_POINTER_ALIGNED alignas(sizeof(void*))

struct IO_STACK_LOCATION {
  UCHAR MajorFunction;
  UCHAR MinorFunction;
  UCHAR Flags;
  UCHAR Control;
  union {
    struct {
      PVOID SecurityContext;
      ULONG Options;
      KMODEL_POINTER_ALIGNED USHORT FileAttributes;
      USHORT ShareAccess;
      KMODEL_POINTER_ALIGNED ULONG EaLength;
    } Create;
    struct {
      KMODEL_POINTER_ALIGNED ULONG Length;
      KMODEL_POINTER_ALIGNED ULONG Key;
      LARGE_INTEGER ByteOffset;
    } Read;
    struct {
      KMODEL_POINTER_ALIGNED ULONG Length;
      KMODEL_POINTER_ALIGNED ULONG Key;
      LARGE_INTEGER ByteOffset;
    } Write;
    struct {
      KMODEL_POINTER_ALIGNED ULONG Length;
      KMODEL_POINTER_ALIGNED FILE_INFORMATION_CLASS FileInformationClass;
    } QueryFile;
    struct {
      KMODEL_POINTER_ALIGNED ULONG Length;
      KMODEL_POINTER_ALIGNED FILE_INFORMATION_CLASS FileInformationClass;
      PFILE_OBJECT FileObject;
    } SetFile;
    struct {
      KMODEL_POINTER_ALIGNED ULONG OutputBufferLength;
      KMODEL_POINTER_ALIGNED ULONG InputBufferLength;
      KMODEL_POINTER_ALIGNED ULONG IoControlCode;
      PVOID Type3InputBuffer;
    } DeviceIoControl;
    struct {
      PDEVICE_CAPABILITIES Capabilities;
    } DeviceCapabilities;
    struct {
      KMODEL_POINTER_ALIGNED ULONG SystemContext;
      KMODEL_POINTER_ALIGNED POWER_STATE_TYPE Type;
      KMODEL_POINTER_ALIGNED POWER_STATE State;
      KMODEL_POINTER_ALIGNED POWER_ACTION ShutdownType;
    } Power;
    struct {
      PVOID Argument1;
      PVOID Argument2;
      PVOID Argument3;
      PVOID Argument4;
    } Others;
  } Parameters;
  PDEVICE_OBJECT DeviceObject;
  PFILE_OBJECT FileObject;
  PIO_COMPLETION_ROUTINE CompletionRoutine;
  PVOID Context;
};
using PIO_STACK_LOCATION = IO_STACK_LOCATION*;

#undef KMODEL_POINTER_ALIGNED

// The hold word of a queued request lives in Others.Argument4, which is also where a
// control request carries Type3InputBuffer; read and write lengths lie elsewhere.
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.Type3InputBuffer) ==
              offsetof(IO_STACK_LOCATION, Parameters.Others.Argument4));
static_assert(offsetof(IO_STACK_LOCATION, Parameters.Read.Length) <
              offsetof(IO_STACK_LOCATION, Parameters.Others.Argument4));
static_assert(offsetof(IO_STACK_LOCATION, Parameters.Write.Length) <
              offsetof(IO_STACK_LOCATION, Parameters.Others.Argument4));

struct IRP {
  CSHORT Type;
  USHORT Size;
  PMDL MdlAddress;
  ULONG Flags;
  union {
    PIRP MasterIrp;
    LONG IrpCount;
    PVOID SystemBuffer;
  } AssociatedIrp;
  IO_STATUS_BLOCK IoStatus;
  KPROCESSOR_MODE RequestorMode;
  BOOLEAN PendingReturned;
  CHAR StackCount;
  // Counts down from StackCount + 1 (no current location) as the IRP goes down.
  CHAR CurrentLocation;
  BOOLEAN Cancel;
  KIRQL CancelIrql;
  PIO_STATUS_BLOCK UserIosb;
  PKEVENT UserEvent;
  // Changed only by IoSetCancelRoutine (an atomic exchange) and the I/O manager.
  PDRIVER_CANCEL CancelRoutine;
  PVOID UserBuffer;
  struct {
    struct {
      PVOID DriverContext[4];
      PVOID Thread;
      LIST_ENTRY ListEntry;
      PIO_STACK_LOCATION CurrentStackLocation;
      PFILE_OBJECT OriginalFileObject;
    } Overlay;
  } Tail;
  // The model's bookkeeping for this IRP; drivers never touch it.
  kmodel::IrpRecord* ModelRecord;
};

// The current location is the one the receiving driver reads; the next is the one
// it fills for the driver below.
inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) {
  return irp->Tail.Overlay.CurrentStackLocation;
}
inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP irp) {
  return irp->Tail.Overlay.CurrentStackLocation - 1;
}
// For a driver that allocated the IRP and uses a location of its own.
inline void IoSetNextIrpStackLocation(PIRP irp) {
  irp->CurrentLocation--;
  irp->Tail.Overlay.CurrentStackLocation--;
}
inline void IoSkipCurrentIrpStackLocation(PIRP irp) {
  irp->CurrentLocation++;
  irp->Tail.Overlay.CurrentStackLocation++;
}
// Copies everything up to the completion routine; the lower driver starts with no
// control bits, so it sees neither this driver's pending mark nor its invoke flags.
inline void IoCopyCurrentIrpStackLocationToNext(PIRP irp) {
  PIO_STACK_LOCATION current = IoGetCurrentIrpStackLocation(irp);
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  RtlCopyMemory(next, current, offsetof(IO_STACK_LOCATION, CompletionRoutine));
  next->Control = 0;
}
// Atomic, because a completion routine may mark a location on one processor while
// the dispatch routine that owns it returns on another.
inline void IoMarkIrpPending(PIRP irp) {
  __atomic_fetch_or(&IoGetCurrentIrpStackLocation(irp)->Control, SL_PENDING_RETURNED,
                    __ATOMIC_SEQ_CST);
}
inline void IoSetCompletionRoutine(PIRP irp, PIO_COMPLETION_ROUTINE routine, PVOID context,
                                   BOOLEAN invokeOnSuccess, BOOLEAN invokeOnError,
                                   BOOLEAN invokeOnCancel) {
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->CompletionRoutine = routine;
  next->Context = context;
  next->Control = 0;
  if (invokeOnSuccess) next->Control |= SL_INVOKE_ON_SUCCESS;
  if (invokeOnError) next->Control |= SL_INVOKE_ON_ERROR;
  if (invokeOnCancel) next->Control |= SL_INVOKE_ON_CANCEL;
}
// Atomic exchange: returns the routine that was set before.
inline PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL cancelRoutine) {
  return __atomic_exchange_n(&irp->CancelRoutine, cancelRoutine, __ATOMIC_SEQ_CST);
}

// Returns null when no IRP can be allocated.
PIRP IoAllocateIrp(CCHAR stackSize, BOOLEAN chargeQuota);
// Only for IRPs from IoAllocateIrp that no driver holds any more.
void IoFreeIrp(PIRP irp);
// An IRP the I/O manager owns: when it completes, the status block is filled, the
// event set and the IRP freed. Buffered: input and output go through a system buffer.
PIRP IoBuildDeviceIoControlRequest(ULONG ioControlCode, PDEVICE_OBJECT deviceObject,
                                   PVOID inputBuffer, ULONG inputBufferLength, PVOID outputBuffer,
                                   ULONG outputBufferLength, BOOLEAN internalDeviceIoControl,
                                   PKEVENT event, PIO_STATUS_BLOCK ioStatusBlock);

NTSTATUS IofCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp);
inline NTSTATUS IoCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp) {
  return IofCallDriver(deviceObject, irp);
}
// Runs the completion routines from the current location up, stopping at one that
// returns STATUS_MORE_PROCESSING_REQUIRED.
void IofCompleteRequest(PIRP irp, CCHAR priorityBoost);
inline void IoCompleteRequest(PIRP irp, CCHAR priorityBoost) {
  IofCompleteRequest(irp, priorityBoost);
}

// Cancellation: the system-wide cancel spin lock and IoCancelIrp. A cancel routine is
// entered holding the cancel spin lock and must release it at irp->CancelIrql.
void IoAcquireCancelSpinLock(PKIRQL irql);
void IoReleaseCancelSpinLock(KIRQL irql);
BOOLEAN IoCancelIrp(PIRP irp);
