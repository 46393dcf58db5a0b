#pragma once
// For tests that talk to a simulated device directly: URBs filled in as a client
// driver fills them, and one URB sent to a physical device object as the I/O
// manager would send a request, then observed until it completes.

#include <optional>

#include "kernel/testing/io_request.h"
#include "kernel/usb/urb.h"

namespace kmodel::usb {

URB BulkTransferUrb(USBD_PIPE_HANDLE pipe, ULONG flags, void* buffer, ULONG length);
// ABORT_PIPE or RESET_PIPE.
URB PipeRequestUrb(USHORT function, USBD_PIPE_HANDLE pipe);
URB DescriptorUrb(UCHAR type, void* buffer, ULONG length, UCHAR index = 0);
URB EndpointFeatureUrb(USHORT feature, USHORT index);

class UrbSubmission {
 public:
  // Sends at once; the URB must outlive the submission.
  UrbSubmission(PDEVICE_OBJECT pdo, URB& urb);
  NTSTATUS Returned() const { return returned_; }
  bool Completed() const { return request_.Completed(); }
  // The request's final status (after Completed).
  NTSTATUS Status() const { return request_.Status(); }
  // Drives the model until the request completes or the relative time-out runs out.
  bool Wait(std::optional<int64_t> timeout = std::nullopt) { return request_.Wait(timeout); }
  BOOLEAN Cancel() { return request_.Cancel(); }

 private:
  IoRequest request_;
  NTSTATUS returned_;
};

}  // namespace kmodel::usb
