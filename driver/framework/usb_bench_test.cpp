// The bench of usb_bench.h.
#include "driver/framework/usb_bench.h"

#include <gtest/gtest.h>

#include <vector>

#include "driver/framework/driver_entry.h"
#include "driver/framework/panel_ids.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/kernel_model.h"
#include "kernel/usb/testing/urb_submission.h"
#include "kernel/usb/testing/usb_device.h"

struct UsbBench::Model {
  explicit Model(const kmodel::KernelOptions& options) : kernel(options) {}
  kmodel::Kernel kernel;
  kmodel::usb::UsbDevice device{kernel,
                                kmodel::usb::PanelDescription(PANEL_VENDOR_ID, PANEL_PRODUCT_ID),
                                u"USB\\VID_3A7C&PID_0101\\1"};
};

struct UsbBench::Read {
  Read(PDEVICE_OBJECT pdo, USBD_PIPE_HANDLE pipe)
      : buffer(2048),
        urb(kmodel::usb::BulkTransferUrb(pipe, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
                                         buffer.data(), 2048)),
        submission(pdo, urb) {}
  std::vector<uint8_t> buffer;
  URB urb;
  kmodel::usb::UrbSubmission submission;
};

UsbBench::UsbBench(const kmodel::KernelOptions& options)
    : model_(std::make_unique<Model>(options)) {
  PDRIVER_OBJECT driver = kmodel::LoadDriver(DriverEntry, u"Talsen").driver;
  PDEVICE_OBJECT pdo = model_->device.Pdo();
  EXPECT_EQ(IoCreateDevice(driver, sizeof(DEVICE_EXTENSION), nullptr, FILE_DEVICE_SERIAL_PORT, 0,
                           TRUE, &fdo_),
            STATUS_SUCCESS);
  PDEVICE_EXTENSION extension = Extension();
  extension->DeviceObject = fdo_;
  extension->DriverObject = driver;
  extension->PhysicalDeviceObject = pdo;
  extension->LowerDeviceObject = IoAttachDeviceToDeviceStack(fdo_, pdo);
  fdo_->Flags &= ~DO_DEVICE_INITIALIZING;
  KeInitializeSpinLock(&extension->AbortLock);
  KeInitializeEvent(&extension->RemoveEvent, NotificationEvent, FALSE);
  KeInitializeEvent(&extension->StopEvent, NotificationEvent, FALSE);
  std::vector<USBD_PIPE_INFORMATION> pipes = model_->device.ConfigureDirectly();
  for (size_t i = 0; i < 2; ++i) {
    pipes_[i] = pipes[i];
    extension->PipeTable[i] = &pipes_[i];
  }
  extension->BulkInAddress = pipes_[0].EndpointAddress;
  extension->BulkOutAddress = pipes_[1].EndpointAddress;
}

UsbBench::~UsbBench() {
  // Whatever is still in flight ends as the device goes.
  model_->device.Unplug();
  model_->kernel.RunUntilIdle();
  read_.reset();
  if (model_->device.Pdo()->AttachedDevice == fdo_) IoDetachDevice(model_->device.Pdo());
  IoDeleteDevice(fdo_);
}

kmodel::Kernel& UsbBench::Kernel() {
  return model_->kernel;
}

kmodel::usb::UsbDevice& UsbBench::Device() {
  return model_->device;
}

void UsbBench::StartRead() {
  read_ = std::make_unique<Read>(model_->device.Pdo(), pipes_[0].PipeHandle);
  WriteULongNoFence(&pipes_[0].PipeFlags, 1);
}

bool UsbBench::ReadCompleted() const {
  return read_ && read_->submission.Completed();
}

NTSTATUS UsbBench::ReadStatus() const {
  return read_->submission.Status();
}

void UsbBench::ArmFailure() {
  kmodel::FaultInjector& faults = model_->kernel.Faults();
  armedAt_ = faults.AllocationCount();
  if (failing_) faults.FailNth(failing_);
}

uint64_t UsbBench::WalkAllocationFailures(const FailureScenario& scenario) {
  uint64_t count = 0;
  for (uint64_t failing = 0; failing == 0 || failing <= count; ++failing) {
    UsbBench bench;
    bench.failing_ = failing;
    scenario(bench, failing);
    if (failing == 0) count = bench.Kernel().Faults().AllocationCount() - bench.armedAt_;
  }
  return count;
}
