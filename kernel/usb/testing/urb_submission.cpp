#include "kernel/usb/testing/urb_submission.h"

namespace kmodel::usb {
namespace {

URB WithHeader(USHORT function, size_t length) {
  URB urb{};
  urb.UrbHeader.Length = static_cast<USHORT>(length);
  urb.UrbHeader.Function = function;
  return urb;
}

}  // namespace

URB BulkTransferUrb(USBD_PIPE_HANDLE pipe, ULONG flags, void* buffer, ULONG length) {
  URB urb =
      WithHeader(URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
  urb.UrbBulkOrInterruptTransfer.PipeHandle = pipe;
  urb.UrbBulkOrInterruptTransfer.TransferFlags = flags;
  urb.UrbBulkOrInterruptTransfer.TransferBuffer = buffer;
  urb.UrbBulkOrInterruptTransfer.TransferBufferLength = length;
  return urb;
}

URB PipeRequestUrb(USHORT function, USBD_PIPE_HANDLE pipe) {
  URB urb = WithHeader(function, sizeof(_URB_PIPE_REQUEST));
  urb.UrbPipeRequest.PipeHandle = pipe;
  return urb;
}

URB DescriptorUrb(UCHAR type, void* buffer, ULONG length, UCHAR index) {
  URB urb =
      WithHeader(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST));
  urb.UrbControlDescriptorRequest.DescriptorType = type;
  urb.UrbControlDescriptorRequest.Index = index;
  urb.UrbControlDescriptorRequest.TransferBuffer = buffer;
  urb.UrbControlDescriptorRequest.TransferBufferLength = length;
  return urb;
}

URB EndpointFeatureUrb(USHORT feature, USHORT index) {
  URB urb = WithHeader(URB_FUNCTION_SET_FEATURE_TO_ENDPOINT, sizeof(_URB_CONTROL_FEATURE_REQUEST));
  urb.UrbControlFeatureRequest.FeatureSelector = feature;
  urb.UrbControlFeatureRequest.Index = index;
  return urb;
}

UrbSubmission::UrbSubmission(PDEVICE_OBJECT pdo, URB& urb)
    : request_(pdo, IRP_MJ_INTERNAL_DEVICE_CONTROL) {
  request_.Stack().Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  request_.Stack().Parameters.Others.Argument1 = &urb;
  returned_ = request_.Send();
}

}  // namespace kmodel::usb
