#include "kernel/testing/io_request.h"

#include <mutex>

#include "kernel/event.h"
#include "kernel/model/kernel_state.h"
#include "kernel/pnp.h"

namespace kmodel {

struct IoRequest::Shared {
  KEVENT done{};
  std::mutex mutex;
  bool completed = false;
  bool orphaned = false;
  IO_STATUS_BLOCK status{};
  CCHAR boost = 0;
  std::vector<UCHAR> systemBuffer;
};

IoRequest::IoRequest(PDEVICE_OBJECT target, UCHAR major, UCHAR minor)
    : target_(target), shared_(std::make_shared<Shared>()) {
  KeInitializeEvent(&shared_->done, NotificationEvent, FALSE);
  IrpRecord* record = State().irps.Create(target->StackSize, IrpOrigin::System);
  irp_ = &record->irp;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp_);
  next->MajorFunction = major;
  next->MinorFunction = minor;
  std::shared_ptr<Shared> shared = shared_;
  record->onFinished = [shared](IrpRecord& finished) {
    bool orphaned;
    {
      std::lock_guard guard(shared->mutex);
      shared->completed = true;
      shared->status = finished.irp.IoStatus;
      shared->boost = finished.boost;
      orphaned = shared->orphaned;
    }
    if (orphaned) {
      IrpTable& table = State().irps;
      std::lock_guard guard(table.Mutex());
      table.DestroyLocked(&finished);
    }
    KeSetEvent(&shared->done, IO_NO_INCREMENT, FALSE);
  };
}

IoRequest::~IoRequest() {
  bool completed;
  {
    std::lock_guard guard(shared_->mutex);
    completed = shared_->completed;
    shared_->orphaned = !completed;
  }
  if (!completed) return;
  IrpTable& table = State().irps;
  std::unique_lock lock(table.Mutex());
  if (IrpRecord* record = table.FindLocked(irp_)) table.DestroyLocked(record);
}

IO_STACK_LOCATION& IoRequest::Stack() {
  return irp_->CurrentLocation > irp_->StackCount ? *IoGetNextIrpStackLocation(irp_)
                                                  : *IoGetCurrentIrpStackLocation(irp_);
}

void IoRequest::SetSystemBuffer(const std::vector<UCHAR>& contents, size_t size) {
  shared_->systemBuffer.assign(size > contents.size() ? size : contents.size(), 0);
  std::copy(contents.begin(), contents.end(), shared_->systemBuffer.begin());
  irp_->AssociatedIrp.SystemBuffer = shared_->systemBuffer.data();
}

std::vector<UCHAR> IoRequest::SystemBuffer() const {
  return shared_->systemBuffer;
}

NTSTATUS IoRequest::Send() {
  return IoCallDriver(target_, irp_);
}

bool IoRequest::Wait(std::optional<int64_t> timeout) {
  LARGE_INTEGER relative;
  if (timeout) relative.QuadPart = -*timeout;
  return KeWaitForSingleObject(&shared_->done, Executive, KernelMode, FALSE,
                               timeout ? &relative : nullptr) == STATUS_SUCCESS;
}

BOOLEAN IoRequest::Cancel() {
  return Completed() ? FALSE : IoCancelIrp(irp_);
}

bool IoRequest::Completed() const {
  std::lock_guard guard(shared_->mutex);
  return shared_->completed;
}

NTSTATUS IoRequest::Status() const {
  std::lock_guard guard(shared_->mutex);
  return shared_->status.Status;
}

ULONG_PTR IoRequest::Information() const {
  std::lock_guard guard(shared_->mutex);
  return shared_->status.Information;
}

CCHAR IoRequest::Boost() const {
  std::lock_guard guard(shared_->mutex);
  return shared_->boost;
}

NTSTATUS SendPnp(PDEVICE_OBJECT target, UCHAR minor) {
  IoRequest request(target, IRP_MJ_PNP, minor);
  request.Irp()->IoStatus.Status = STATUS_NOT_SUPPORTED;
  request.Send();
  request.Wait();
  return request.Status();
}

}  // namespace kmodel
