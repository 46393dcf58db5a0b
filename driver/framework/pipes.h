#pragma once
// Looking up pipes, and the pipe operations the rest of the driver uses. After
// configuration a pipe record's PipeFlags word is the pipe's busy mark: 1 from the
// start of a transfer on it until the transfer ends or the pipe is aborted. Other
// processors change it, so it is read and written with ReadULongNoFence and
// WriteULongNoFence.

#include "driver/framework/device_extension.h"
#include "kernel/usb/usb.h"

// The first recorded pipe with this endpoint address, or null. Up to DISPATCH_LEVEL.
PUSBD_PIPE_INFORMATION FindPipe(PDEVICE_EXTENSION extension, ULONG endpointAddress);
// Resets the pipe, which also clears a halt of its endpoint; a null pipe is
// STATUS_INVALID_PARAMETER. PASSIVE_LEVEL.
NTSTATUS ResetPipe(PDEVICE_EXTENSION extension, PUSBD_PIPE_INFORMATION pipe);
// Aborts the transfers of a busy pipe and clears its busy mark, waiting at most
// UrbTimeoutMs for the abort before cancelling it. One abort is issued at a time:
// while one is under way another call returns STATUS_SUCCESS at once. An idle pipe
// sends nothing; no pipe with the address is STATUS_INSUFFICIENT_RESOURCES.
// PASSIVE_LEVEL.
NTSTATUS AbortPipe(PDEVICE_OBJECT deviceObject, ULONG endpointAddress);
// The same without waiting: the abort URB is sent, freed when it completes, and the
// busy mark cleared at once. Up to DISPATCH_LEVEL.
NTSTATUS AbortPipeAsync(PDEVICE_OBJECT deviceObject, ULONG endpointAddress);
// Aborts the bulk-IN pipe, then halts its endpoint with SET_FEATURE(ENDPOINT_HALT),
// so that the panel sends nothing until the next ResetPipe. PASSIVE_LEVEL.
NTSTATUS HaltBulkIn(PDEVICE_OBJECT deviceObject);
