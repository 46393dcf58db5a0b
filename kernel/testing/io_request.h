#pragma once
// A request sent by the test as the I/O manager (or the Plug and Play manager)
// would: an IRP sized for the target's stack, filled through Stack(), sent with
// Send(), and observed until it completes. The IRP is the I/O manager's: the
// driver completes it, the IoRequest frees it.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "kernel/device_object.h"
#include "kernel/irp.h"

namespace kmodel {

class IoRequest {
 public:
  IoRequest(PDEVICE_OBJECT target, UCHAR major, UCHAR minor = 0);
  ~IoRequest();
  IoRequest(const IoRequest&) = delete;
  IoRequest& operator=(const IoRequest&) = delete;

  PIRP Irp() { return irp_; }
  // The stack location the target will receive.
  IO_STACK_LOCATION& Stack();
  // Buffered I/O: a system buffer of size bytes starting with contents.
  void SetSystemBuffer(const std::vector<UCHAR>& contents, size_t size);
  std::vector<UCHAR> SystemBuffer() const;

  // Passes the IRP to the target at the calling thread's IRQL; returns what the
  // dispatch routine returned.
  NTSTATUS Send();
  // Drives the model (runs work, moves virtual time) until the request completes or
  // the relative time-out (100-ns units) runs out; returns whether it completed.
  bool Wait(std::optional<int64_t> timeout = std::nullopt);
  BOOLEAN Cancel();

  bool Completed() const;
  NTSTATUS Status() const;
  ULONG_PTR Information() const;
  CCHAR Boost() const;

 private:
  struct Shared;
  PDEVICE_OBJECT target_;
  PIRP irp_;
  std::shared_ptr<Shared> shared_;
};

// Sends a Plug and Play request (IoStatus.Status starts as STATUS_NOT_SUPPORTED) and
// waits for it; returns the final status.
NTSTATUS SendPnp(PDEVICE_OBJECT target, UCHAR minor);

}  // namespace kmodel
