#pragma once
// For tests: a device of this driver on a simulated panel, as configuration leaves
// it. A model kernel, the panel's USB device below, and above it a device object
// with a zeroed extension, attached, with the pipes recorded in PipeTable (bulk-IN
// then bulk-OUT), both addresses set and the locks and events initialised.
// Destroying the bench detaches and deletes the device object, then lets the
// kernel's end-of-test checks run.
//
// The model's test controls appear here only by name; tests include their headers.
// (The definitions live in usb_bench_test.cpp, which may use them.)

#include <cstdint>
#include <functional>
#include <memory>

#include "driver/framework/device_extension.h"
#include "kernel/model/options.h"
#include "kernel/usb/usb.h"

namespace kmodel {
class Kernel;
namespace usb {
class UsbDevice;
}
}  // namespace kmodel

class UsbBench {
 public:
  explicit UsbBench(const kmodel::KernelOptions& options = {});
  ~UsbBench();
  UsbBench(const UsbBench&) = delete;
  UsbBench& operator=(const UsbBench&) = delete;

  kmodel::Kernel& Kernel();
  kmodel::usb::UsbDevice& Device();
  PDEVICE_OBJECT Fdo() const { return fdo_; }
  PDEVICE_EXTENSION Extension() const { return ExtensionOf(fdo_); }
  PUSBD_PIPE_INFORMATION BulkIn() { return &pipes_[0]; }
  PUSBD_PIPE_INFORMATION BulkOut() { return &pipes_[1]; }

  // A bulk-IN read in flight on the device, with the pipe's busy mark set, as the
  // transport leaves the pipe while it reads.
  void StartRead();
  bool ReadCompleted() const;
  NTSTATUS ReadStatus() const;

  // Walks every allocation failure of an operation. The scenario runs on a fresh
  // bench once with nothing failing, then once for each allocation the operation
  // made in that run, with exactly that one failing; failing is 0 for the first
  // run, else the number of the failing allocation. The operation starts where the
  // scenario calls ArmFailure. Returns the number of allocations the operation makes.
  using FailureScenario = std::function<void(UsbBench& bench, uint64_t failing)>;
  static uint64_t WalkAllocationFailures(const FailureScenario& scenario);
  void ArmFailure();

 private:
  struct Model;
  struct Read;
  std::unique_ptr<Model> model_;
  PDEVICE_OBJECT fdo_ = nullptr;
  USBD_PIPE_INFORMATION pipes_[2] = {};
  std::unique_ptr<Read> read_;
  uint64_t failing_ = 0;
  uint64_t armedAt_ = 0;
};
