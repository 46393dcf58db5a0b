#include "driver/framework/request_accounting.h"

#include <gtest/gtest.h>

#include "driver/framework/device_extension.h"
#include "driver/framework/driver_entry.h"
#include "driver/framework/serial_interface.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/kernel_model.h"

namespace {

// A device object with a fresh extension, as creation leaves it: zeroed, both
// events initialised and not signalled.
class RequestAccountingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PDRIVER_OBJECT driver = kmodel::LoadDriver(DriverEntry, u"Talsen").driver;
    ASSERT_EQ(IoCreateDevice(driver, sizeof(DEVICE_EXTENSION), nullptr, FILE_DEVICE_SERIAL_PORT, 0,
                             TRUE, &device_),
              STATUS_SUCCESS);
    extension_ = ExtensionOf(device_);
    KeInitializeEvent(&extension_->RemoveEvent, NotificationEvent, FALSE);
    KeInitializeEvent(&extension_->StopEvent, NotificationEvent, FALSE);
  }
  void TearDown() override { IoDeleteDevice(device_); }

  // An IRP whose current location carries major and control code.
  PIRP MakeIrp(UCHAR major, ULONG ioControlCode) {
    PIRP irp = IoAllocateIrp(1, FALSE);
    IoSetNextIrpStackLocation(irp);
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    location->MajorFunction = major;
    location->Parameters.DeviceIoControl.IoControlCode = ioControlCode;
    irp->IoStatus.Status = STATUS_PENDING;
    irp->IoStatus.Information = 77;
    return irp;
  }

  bool Signalled(KEVENT& event) { return KeReadStateEvent(&event) != 0; }

  kmodel::Kernel kernel_;
  PDEVICE_OBJECT device_ = nullptr;
  PDEVICE_EXTENSION extension_ = nullptr;
};

TEST_F(RequestAccountingTest, CheckDeviceReadyTakesTheFirstMatchingRow) {
  struct Row {
    BOOLEAN removed, started, removePending;
    NTSTATUS expected;
  };
  const Row rows[] = {
      {FALSE, FALSE, FALSE, STATUS_UNSUCCESSFUL},  {FALSE, TRUE, FALSE, STATUS_SUCCESS},
      {FALSE, TRUE, TRUE, STATUS_UNSUCCESSFUL},    {FALSE, FALSE, TRUE, STATUS_UNSUCCESSFUL},
      {TRUE, FALSE, FALSE, STATUS_DELETE_PENDING}, {TRUE, TRUE, FALSE, STATUS_DELETE_PENDING},
      {TRUE, TRUE, TRUE, STATUS_DELETE_PENDING},
  };
  for (const Row& row : rows) {
    extension_->Removed = row.removed;
    extension_->Started = row.started;
    extension_->RemovePending = row.removePending;
    EXPECT_EQ(CheckDeviceReady(device_), row.expected)
        << "removed " << int{row.removed} << " started " << int{row.started} << " remove pending "
        << int{row.removePending};
  }
}

TEST_F(RequestAccountingTest, CheckErrorAbortCancelsAllButTheCommStatusQuery) {
  struct Row {
    bool errorAbort;
    ULONG errorFlags;
    UCHAR major;
    ULONG ioControlCode;
    bool cancelled;
  };
  const ULONG otherControl = CTL_CODE(FILE_DEVICE_SERIAL_PORT, 1, METHOD_BUFFERED, 0);
  const Row rows[] = {
      {true, 0x4, IRP_MJ_READ, 0, true},
      {true, 0x4, IRP_MJ_WRITE, 0, true},
      {true, 0x4, IRP_MJ_DEVICE_CONTROL, IOCTL_SERIAL_GET_COMMSTATUS, false},
      {true, 0x4, IRP_MJ_DEVICE_CONTROL, otherControl, true},
      {true, 0x4, IRP_MJ_INTERNAL_DEVICE_CONTROL, IOCTL_SERIAL_GET_COMMSTATUS, true},
      {true, 0, IRP_MJ_READ, 0, false},
      {false, 0x4, IRP_MJ_READ, 0, false},
  };
  for (const Row& row : rows) {
    extension_->PortHandFlow.ControlHandShake =
        SERIAL_DTR_CONTROL | (row.errorAbort ? SERIAL_ERROR_ABORT : 0);
    extension_->ErrorFlags = row.errorFlags;
    PIRP irp = MakeIrp(row.major, row.ioControlCode);
    NTSTATUS status = CheckErrorAbort(device_, irp);
    EXPECT_EQ(status, row.cancelled ? STATUS_CANCELLED : STATUS_SUCCESS)
        << "major " << int{row.major} << " code " << row.ioControlCode;
    EXPECT_EQ(irp->IoStatus.Status, row.cancelled ? STATUS_CANCELLED : STATUS_PENDING);
    EXPECT_EQ(irp->IoStatus.Information, row.cancelled ? 0u : 77u);
    IoFreeIrp(irp);
  }
}

TEST_F(RequestAccountingTest, ReleasesSetStopAtOneAndRemoveAtZeroAndNothingClearsThem) {
  AcquireIoReference(device_);  // the bias
  AcquireIoReference(device_);
  EXPECT_EQ(extension_->OutstandingIo, 2);
  EXPECT_EQ(ReleaseIoReference(device_), 1);
  EXPECT_TRUE(Signalled(extension_->StopEvent));
  EXPECT_FALSE(Signalled(extension_->RemoveEvent));
  AcquireIoReference(device_);
  EXPECT_EQ(ReleaseIoReference(device_), 1);
  EXPECT_EQ(ReleaseIoReference(device_), 0);
  EXPECT_TRUE(Signalled(extension_->RemoveEvent));
  AcquireIoReference(device_);
  AcquireIoReference(device_);
  EXPECT_TRUE(Signalled(extension_->StopEvent));
  EXPECT_TRUE(Signalled(extension_->RemoveEvent));
}

TEST_F(RequestAccountingTest, ARemovalWaitEndsWhenTheLastReferenceGoes) {
  AcquireIoReference(device_);
  AcquireIoReference(device_);
  // The request in progress finishes 30 ms from now, on a processor.
  kernel_.ScheduleAfter(kmodel::Milliseconds(30), [this] { ReleaseIoReference(device_); });
  int64_t start = kernel_.Now();
  EXPECT_EQ(ReleaseIoReference(device_), 1);
  EXPECT_EQ(KeWaitForSingleObject(&extension_->RemoveEvent, Executive, KernelMode, FALSE, nullptr),
            STATUS_SUCCESS);
  EXPECT_EQ(kernel_.Now() - start, kmodel::Milliseconds(30));
  EXPECT_EQ(extension_->OutstandingIo, 0);
}

}  // namespace
