// The simulated device's bus rules, seen from a client that sends it URBs.
#include "kernel/usb/testing/usb_device.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "kernel/model/device_table.h"
#include "kernel/usb/testing/scripted_peer.h"
#include "kernel/usb/testing/urb_submission.h"
#include "kernel/usb/usbd_configuration.h"

namespace {

using kmodel::Milliseconds;
using kmodel::usb::BulkTransferUrb;
using kmodel::usb::ConfigurationBuilder;
using kmodel::usb::DescriptorUrb;
using kmodel::usb::EndpointFeatureUrb;
using kmodel::usb::kPanelBulkIn;
using kmodel::usb::kPanelBulkOut;
using kmodel::usb::PipeRequestUrb;
using kmodel::usb::UrbMatch;
using kmodel::usb::UrbSubmission;
using kmodel::usb::UsbDevice;

constexpr ULONG kReadFlags = USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK;
constexpr ULONG kWriteFlags = USBD_SHORT_TRANSFER_OK;

std::vector<uint8_t> Counting(size_t count) {
  std::vector<uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  return bytes;
}

// A read of its own buffer, sent at once.
struct Read {
  Read(PDEVICE_OBJECT pdo, USBD_PIPE_HANDLE pipe, ULONG length, ULONG flags = kReadFlags)
      : buffer(length),
        urb(BulkTransferUrb(pipe, flags, buffer.data(), length)),
        submission(pdo, urb) {}
  std::vector<uint8_t> Received() const {
    return {buffer.begin(), buffer.begin() + urb.UrbBulkOrInterruptTransfer.TransferBufferLength};
  }
  std::vector<uint8_t> buffer;
  URB urb;
  UrbSubmission submission;
};

// A request that selects the panel's one interface, built as a driver builds it.
struct PanelSelection {
  PanelSelection() : config(kmodel::usb::PanelDescription(0, 0).configuration) {
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
    list[0].InterfaceDescriptor =
        USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, 0, 0, -1, -1, -1);
    urb = USBD_CreateConfigurationRequestEx(descriptor, list);
  }
  ~PanelSelection() {
    if (urb) ExFreePool(urb);
  }
  PanelSelection(const PanelSelection&) = delete;
  PanelSelection& operator=(const PanelSelection&) = delete;
  std::vector<uint8_t> config;
  USBD_INTERFACE_LIST_ENTRY list[2] = {};
  PURB urb = nullptr;
};

// The panel's device, configured; pipe 0 is bulk-IN, pipe 1 bulk-OUT.
class UsbDeviceTest : public ::testing::Test {
 protected:
  USBD_PIPE_HANDLE In() const { return pipes_[0].PipeHandle; }
  USBD_PIPE_HANDLE Out() const { return pipes_[1].PipeHandle; }
  NTSTATUS Send(URB& urb) {
    UrbSubmission submission(device_.Pdo(), urb);
    submission.Wait();
    return submission.Status();
  }
  NTSTATUS Write(std::vector<uint8_t> bytes) {
    URB urb = BulkTransferUrb(Out(), kWriteFlags, bytes.data(), static_cast<ULONG>(bytes.size()));
    return Send(urb);
  }

  kmodel::Kernel kernel_;
  UsbDevice device_{kernel_, kmodel::usb::PanelDescription(0x1234, 0x5678)};
  std::vector<USBD_PIPE_INFORMATION> pipes_ = device_.ConfigureDirectly();
};

TEST_F(UsbDeviceTest, DescriptorRequestsCopyWhatFitsAndStallTheOnesTheDeviceLacks) {
  struct Row {
    UCHAR type, index;
    ULONG length;
    NTSTATUS status;
    USBD_STATUS usbdStatus;
    ULONG transferred;
  };
  const Row rows[] = {
      {USB_DEVICE_DESCRIPTOR_TYPE, 0, 18, STATUS_SUCCESS, USBD_STATUS_SUCCESS, 18},
      {USB_DEVICE_DESCRIPTOR_TYPE, 0, 64, STATUS_SUCCESS, USBD_STATUS_SUCCESS, 18},
      {USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 9, STATUS_SUCCESS, USBD_STATUS_SUCCESS, 9},
      {USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 255, STATUS_SUCCESS, USBD_STATUS_SUCCESS, 32},
      {USB_CONFIGURATION_DESCRIPTOR_TYPE, 1, 9, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID, 0},
      {USB_STRING_DESCRIPTOR_TYPE, 0, 4, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID, 0},
  };
  for (const Row& row : rows) {
    std::vector<uint8_t> buffer(row.length);
    URB urb = DescriptorUrb(row.type, buffer.data(), row.length, row.index);
    EXPECT_EQ(Send(urb), row.status) << "type " << int{row.type} << " index " << int{row.index};
    EXPECT_EQ(urb.UrbHeader.Status, row.usbdStatus);
    EXPECT_EQ(urb.UrbControlDescriptorRequest.TransferBufferLength, row.transferred);
  }
  std::vector<uint8_t> device(18);
  URB urb = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, device.data(), 18);
  Send(urb);
  auto* descriptor = reinterpret_cast<PUSB_DEVICE_DESCRIPTOR>(device.data());
  EXPECT_EQ(descriptor->idVendor, 0x1234);
  EXPECT_EQ(descriptor->idProduct, 0x5678);
}

TEST_F(UsbDeviceTest, DevicesOnOneKernelAreDistinctAndAnswerWithTheirOwnDescriptors) {
  UsbDevice other(kernel_, kmodel::usb::PanelDescription(0x1111, 0x2222));
  EXPECT_NE(kmodel::DeviceTable::NameOf(other.Pdo()), kmodel::DeviceTable::NameOf(device_.Pdo()));
  std::vector<uint8_t> device(18);
  URB urb = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, device.data(), 18);
  UrbSubmission submission(other.Pdo(), urb);
  ASSERT_TRUE(submission.Wait());
  EXPECT_EQ(reinterpret_cast<PUSB_DEVICE_DESCRIPTOR>(device.data())->idVendor, 0x1111);
  EXPECT_EQ(device_.Log().Size(), 0u);
}

TEST_F(UsbDeviceTest, SelectingTheConfigurationFillsThePipesWithWorkingHandles) {
  PanelSelection selection;
  PURB select = selection.urb;
  ASSERT_NE(select, nullptr);
  EXPECT_EQ(Send(*select), STATUS_SUCCESS);
  EXPECT_NE(select->UrbSelectConfiguration.ConfigurationHandle, nullptr);
  PUSBD_INTERFACE_INFORMATION record = selection.list[0].Interface;
  EXPECT_EQ(record->Class, kmodel::usb::kVendorSpecificClass);
  EXPECT_NE(record->InterfaceHandle, nullptr);
  PUSBD_PIPE_INFORMATION in = UsbdPipeAt(record, 0);
  PUSBD_PIPE_INFORMATION out = UsbdPipeAt(record, 1);
  EXPECT_EQ(in->EndpointAddress, kPanelBulkIn);
  EXPECT_EQ(out->EndpointAddress, kPanelBulkOut);
  EXPECT_EQ(in->PipeType, UsbdPipeTypeBulk);
  EXPECT_EQ(in->MaximumPacketSize, kmodel::usb::kPanelMaxPacket);
  // The handles of the earlier configuration are gone; the new ones work.
  URB stale = PipeRequestUrb(URB_FUNCTION_RESET_PIPE, In());
  EXPECT_EQ(Send(stale), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(stale.UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);
  URB reset = PipeRequestUrb(URB_FUNCTION_RESET_PIPE, in->PipeHandle);
  EXPECT_EQ(Send(reset), STATUS_SUCCESS);
}

TEST_F(UsbDeviceTest, ASelectionTheDeviceCannotMatchIsRefusedAndChangesNothing) {
  struct Row {
    const char* what;
    UCHAR interfaceNumber;
    ULONG pipes;
  };
  const Row rows[] = {{"an interface it does not have", 1, 2}, {"a pipe count of 1", 0, 1}};
  for (const Row& row : rows) {
    PanelSelection selection;
    selection.list[0].Interface->InterfaceNumber = row.interfaceNumber;
    selection.list[0].Interface->NumberOfPipes = row.pipes;
    EXPECT_EQ(Send(*selection.urb), STATUS_INVALID_PARAMETER) << row.what;
    EXPECT_EQ(selection.urb->UrbHeader.Status, USBD_STATUS_INVALID_PARAMETER);
  }
  URB reset = PipeRequestUrb(URB_FUNCTION_RESET_PIPE, In());
  EXPECT_EQ(Send(reset), STATUS_SUCCESS);
}

TEST_F(UsbDeviceTest, ABulkInReadWaitsForDataAndThenCompletesShort) {
  Read read(device_.Pdo(), In(), 2048);
  EXPECT_EQ(read.submission.Returned(), STATUS_PENDING);
  kernel_.AdvanceBy(Milliseconds(1000));
  EXPECT_FALSE(read.submission.Completed());
  EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_PENDING);
  std::vector<uint8_t> reply = Counting(9);
  device_.DeliverIn(reply);
  ASSERT_TRUE(read.submission.Wait());
  EXPECT_EQ(read.submission.Status(), STATUS_SUCCESS);
  EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_SUCCESS);
  EXPECT_EQ(read.Received(), reply);
}

TEST_F(UsbDeviceTest, PiecesAndBufferSizesDecideHowEachReadEnds) {
  struct Outcome {
    NTSTATUS status;
    ULONG length;
  };
  struct Row {
    const char* what;
    size_t bytes;
    std::vector<size_t> pieces;
    ULONG readLength;
    ULONG flags;
    std::vector<Outcome> reads;
  };
  const Row rows[] = {
      {"one piece larger than the buffer",
       100,
       {},
       64,
       kReadFlags,
       {{STATUS_SUCCESS, 64}, {STATUS_SUCCESS, 36}}},
      {"chosen pieces",
       10,
       {3, 5},
       64,
       kReadFlags,
       {{STATUS_SUCCESS, 3}, {STATUS_SUCCESS, 5}, {STATUS_SUCCESS, 2}}},
      {"a piece that fills the buffer exactly", 64, {}, 64, kReadFlags, {{STATUS_SUCCESS, 64}}},
      {"a short piece without USBD_SHORT_TRANSFER_OK",
       9,
       {},
       64,
       USBD_TRANSFER_DIRECTION_IN,
       {{STATUS_UNSUCCESSFUL, 9}}},
  };
  for (const Row& row : rows) {
    std::vector<uint8_t> bytes = Counting(row.bytes);
    device_.DeliverIn(bytes, row.pieces);
    std::vector<uint8_t> received;
    for (const Outcome& expected : row.reads) {
      Read read(device_.Pdo(), In(), row.readLength, row.flags);
      ASSERT_TRUE(read.submission.Wait()) << row.what;
      EXPECT_EQ(read.submission.Status(), expected.status) << row.what;
      EXPECT_EQ(read.urb.UrbBulkOrInterruptTransfer.TransferBufferLength, expected.length)
          << row.what;
      std::vector<uint8_t> part = read.Received();
      received.insert(received.end(), part.begin(), part.end());
    }
    EXPECT_EQ(received, bytes) << row.what;
    EXPECT_EQ(device_.BufferedIn(), 0u) << row.what;
  }
  Read strict(device_.Pdo(), In(), 64, USBD_TRANSFER_DIRECTION_IN);
  device_.DeliverIn(Counting(1));
  strict.submission.Wait();
  EXPECT_EQ(strict.urb.UrbHeader.Status, USBD_STATUS_ERROR_SHORT_TRANSFER);
}

TEST_F(UsbDeviceTest, AZeroLengthPieceEndsAReadWithNoData) {
  Read read(device_.Pdo(), In(), 2048);
  device_.DeliverZeroLength();
  ASSERT_TRUE(read.submission.Wait());
  EXPECT_EQ(read.submission.Status(), STATUS_SUCCESS);
  EXPECT_EQ(read.urb.UrbBulkOrInterruptTransfer.TransferBufferLength, 0u);
}

TEST_F(UsbDeviceTest, BulkOutHandsItsBytesToTheDeviceWhole) {
  EXPECT_EQ(Write({0x7E, 0x01, 0x00}), STATUS_SUCCESS);
  EXPECT_EQ(Write({0x03}), STATUS_SUCCESS);
  EXPECT_EQ(device_.OutBytes(), (std::vector<uint8_t>{0x7E, 0x01, 0x00, 0x03}));
  EXPECT_EQ(
      device_.Log().Compare(
          {{"BULK_OR_INTERRUPT_TRANSFER 0x02 out length 3 flags 0x02", "STATUS_SUCCESS 3 bytes"},
           {"BULK_OR_INTERRUPT_TRANSFER 0x02 out length 1 flags 0x02", "STATUS_SUCCESS 1 bytes"}}),
      "");
}

TEST_F(UsbDeviceTest, AnAbortCompletesThePipesTransfersCancelledBeforeItself) {
  Read first(device_.Pdo(), In(), 2048);
  Read second(device_.Pdo(), In(), 2048);
  URB abort = PipeRequestUrb(URB_FUNCTION_ABORT_PIPE, In());
  EXPECT_EQ(Send(abort), STATUS_SUCCESS);
  EXPECT_EQ(abort.UrbHeader.Status, USBD_STATUS_SUCCESS);
  for (Read* read : {&first, &second}) {
    ASSERT_TRUE(read->submission.Completed());
    EXPECT_EQ(read->submission.Status(), STATUS_CANCELLED);
    EXPECT_EQ(read->urb.UrbHeader.Status, USBD_STATUS_CANCELED);
  }
  std::vector<kmodel::usb::LoggedUrb> log = device_.Log().Entries();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].completionOrder, 1u);
  EXPECT_EQ(log[1].completionOrder, 2u);
  EXPECT_EQ(log[2].completionOrder, 3u);
  // Nothing pending: the abort of an idle pipe simply succeeds.
  URB again = PipeRequestUrb(URB_FUNCTION_ABORT_PIPE, In());
  EXPECT_EQ(Send(again), STATUS_SUCCESS);
}

TEST_F(UsbDeviceTest, AHaltedEndpointFailsItsTransfersUntilThePipeIsReset) {
  struct Row {
    const char* how;
    bool bySetFeature;
  };
  for (const Row& row : {Row{"SET_FEATURE(ENDPOINT_HALT)", true}, Row{"the Stall verb", false}}) {
    Read pending(device_.Pdo(), In(), 2048);
    if (row.bySetFeature) {
      URB halt = EndpointFeatureUrb(USB_FEATURE_ENDPOINT_STALL, kPanelBulkIn);
      EXPECT_EQ(Send(halt), STATUS_SUCCESS) << row.how;
    } else {
      device_.Stall(kPanelBulkIn);
    }
    ASSERT_TRUE(pending.submission.Wait()) << row.how;
    EXPECT_EQ(pending.urb.UrbHeader.Status, USBD_STATUS_STALL_PID) << row.how;
    EXPECT_TRUE(device_.Halted(kPanelBulkIn));
    // Data waits in the device while the endpoint is halted.
    device_.DeliverIn(Counting(4));
    Read refused(device_.Pdo(), In(), 2048);
    ASSERT_TRUE(refused.submission.Wait());
    EXPECT_EQ(refused.submission.Status(), STATUS_UNSUCCESSFUL) << row.how;
    EXPECT_EQ(refused.urb.UrbHeader.Status, USBD_STATUS_STALL_PID) << row.how;
    URB reset = PipeRequestUrb(URB_FUNCTION_RESET_PIPE, In());
    EXPECT_EQ(Send(reset), STATUS_SUCCESS);
    EXPECT_FALSE(device_.Halted(kPanelBulkIn));
    Read served(device_.Pdo(), In(), 2048);
    ASSERT_TRUE(served.submission.Wait());
    EXPECT_EQ(served.Received(), Counting(4)) << row.how;
  }
  // The other endpoint was never affected.
  EXPECT_EQ(Write({1}), STATUS_SUCCESS);
}

TEST_F(UsbDeviceTest, AFeatureRequestTheDeviceDoesNotKnowIsStalled) {
  const std::pair<USHORT, USHORT> rows[] = {{1, kPanelBulkIn}, {0, 0x85}, {0, 0x181}};
  for (auto [feature, index] : rows) {
    URB urb = EndpointFeatureUrb(feature, index);
    EXPECT_EQ(Send(urb), STATUS_UNSUCCESSFUL) << "feature " << feature << " index " << index;
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_STALL_PID);
  }
  EXPECT_FALSE(device_.Halted(kPanelBulkIn));
}

TEST_F(UsbDeviceTest, APendingReadCanBeCancelled) {
  Read read(device_.Pdo(), In(), 2048);
  EXPECT_TRUE(read.submission.Cancel());
  ASSERT_TRUE(read.submission.Wait());
  EXPECT_EQ(read.submission.Status(), STATUS_CANCELLED);
  EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_CANCELED);
  EXPECT_EQ(device_.PendingTransfers(kPanelBulkIn), 0u);
  // Data that comes later waits for the next read.
  device_.DeliverIn(Counting(3));
  Read next(device_.Pdo(), In(), 2048);
  ASSERT_TRUE(next.submission.Wait());
  EXPECT_EQ(next.Received(), Counting(3));
}

TEST_F(UsbDeviceTest, HeldUrbsWaitUntilReleasedAndCanBeCancelledMeanwhile) {
  device_.Hold({URB_FUNCTION_ABORT_PIPE, {}});
  Read read(device_.Pdo(), In(), 2048);
  URB abort = PipeRequestUrb(URB_FUNCTION_ABORT_PIPE, In());
  UrbSubmission held(device_.Pdo(), abort);
  kernel_.AdvanceBy(Milliseconds(5000));
  EXPECT_FALSE(held.Completed());
  EXPECT_FALSE(read.submission.Completed());
  EXPECT_EQ(device_.HeldUrbs(), 1u);
  device_.Release();
  ASSERT_TRUE(held.Wait());
  EXPECT_EQ(held.Status(), STATUS_SUCCESS);
  EXPECT_EQ(read.submission.Status(), STATUS_CANCELLED);

  // An abort that is never released ends only when cancelled.
  device_.Hold({URB_FUNCTION_ABORT_PIPE, {}});
  URB stuck = PipeRequestUrb(URB_FUNCTION_ABORT_PIPE, In());
  UrbSubmission never(device_.Pdo(), stuck);
  EXPECT_FALSE(never.Wait(Milliseconds(250)));
  EXPECT_TRUE(never.Cancel());
  ASSERT_TRUE(never.Wait());
  EXPECT_EQ(never.Status(), STATUS_CANCELLED);
  EXPECT_EQ(device_.HeldUrbs(), 0u);
}

TEST_F(UsbDeviceTest, FailNextFailsTheChosenUrbsWithoutEffect) {
  struct Row {
    const char* what;
    NTSTATUS status;
    USBD_STATUS usbdStatus;
  };
  const Row rows[] = {
      {"the request fails", STATUS_UNSUCCESSFUL, USBD_STATUS_DEV_NOT_RESPONDING},
      {"only the USB status fails", STATUS_SUCCESS, USBD_STATUS_STALL_PID},
  };
  for (const Row& row : rows) {
    device_.FailNext(2, row.status, row.usbdStatus,
                     {URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, kPanelBulkOut});
    for (int i = 0; i < 2; ++i) {
      std::vector<uint8_t> bytes{9};
      URB urb = BulkTransferUrb(Out(), kWriteFlags, bytes.data(), 1);
      EXPECT_EQ(Send(urb), row.status) << row.what;
      EXPECT_EQ(urb.UrbHeader.Status, row.usbdStatus) << row.what;
      EXPECT_EQ(urb.UrbBulkOrInterruptTransfer.TransferBufferLength, 0u) << row.what;
    }
    EXPECT_TRUE(device_.OutBytes().empty()) << row.what;
    // A read does not match, and the rule is used up.
    URB reset = PipeRequestUrb(URB_FUNCTION_RESET_PIPE, In());
    EXPECT_EQ(Send(reset), STATUS_SUCCESS);
  }
  EXPECT_EQ(Write({5}), STATUS_SUCCESS);
  EXPECT_EQ(device_.OutBytes(), std::vector<uint8_t>{5});
}

TEST_F(UsbDeviceTest, AnUnpluggedDeviceFailsWhatIsPendingAndEverythingAfter) {
  Read read(device_.Pdo(), In(), 2048);
  device_.Unplug();
  ASSERT_TRUE(read.submission.Wait());
  EXPECT_EQ(read.submission.Status(), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
  std::vector<uint8_t> buffer(18);
  URB descriptor = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, buffer.data(), 18);
  EXPECT_EQ(Send(descriptor), STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(UsbDeviceTest, MalformedUrbsAreRefused) {
  std::vector<uint8_t> buffer(8192);
  struct Row {
    const char* what;
    URB urb;
    NTSTATUS status;
    USBD_STATUS usbdStatus;
  };
  Row rows[] = {
      {"a read with the direction flag of a write",
       BulkTransferUrb(In(), kWriteFlags, buffer.data(), 64), STATUS_INVALID_PARAMETER,
       USBD_STATUS_INVALID_PARAMETER},
      {"a write with the direction flag of a read",
       BulkTransferUrb(Out(), kReadFlags, buffer.data(), 64), STATUS_INVALID_PARAMETER,
       USBD_STATUS_INVALID_PARAMETER},
      {"more than the pipe's maximum transfer size",
       BulkTransferUrb(Out(), kWriteFlags, buffer.data(), 4097), STATUS_INVALID_PARAMETER,
       USBD_STATUS_INVALID_PARAMETER},
      {"a null buffer", BulkTransferUrb(Out(), kWriteFlags, nullptr, 4), STATUS_INVALID_PARAMETER,
       USBD_STATUS_INVALID_PARAMETER},
      {"a pipe handle the device never gave",
       BulkTransferUrb(&buffer, kWriteFlags, buffer.data(), 4), STATUS_INVALID_PARAMETER,
       USBD_STATUS_INVALID_PIPE_HANDLE},
      {"a header shorter than the transfer URB",
       BulkTransferUrb(Out(), kWriteFlags, buffer.data(), 4), STATUS_INVALID_PARAMETER,
       USBD_STATUS_INVALID_PARAMETER},
      {"a function the device does not answer", PipeRequestUrb(URB_FUNCTION_VENDOR_DEVICE, In()),
       STATUS_NOT_SUPPORTED, USBD_STATUS_INVALID_URB_FUNCTION},
  };
  rows[5].urb.UrbHeader.Length = sizeof(_URB_PIPE_REQUEST);
  for (Row& row : rows) {
    EXPECT_EQ(Send(row.urb), row.status) << row.what;
    EXPECT_EQ(row.urb.UrbHeader.Status, row.usbdStatus) << row.what;
  }
  EXPECT_TRUE(device_.OutBytes().empty());
}

TEST_F(UsbDeviceTest, ImmediateCompletionAnswersInsideTheDispatchRoutine) {
  std::vector<uint8_t> buffer(18);
  URB deferred = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, buffer.data(), 18);
  UrbSubmission later(device_.Pdo(), deferred);
  EXPECT_EQ(later.Returned(), STATUS_PENDING);
  EXPECT_FALSE(later.Completed());
  later.Wait();
  device_.SetCompletion(kmodel::usb::Completion::Immediate);
  URB immediate = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, buffer.data(), 18);
  UrbSubmission now(device_.Pdo(), immediate);
  EXPECT_EQ(now.Returned(), STATUS_SUCCESS);
  EXPECT_TRUE(now.Completed());
  // A read still has to wait for data.
  Read read(device_.Pdo(), In(), 64);
  EXPECT_EQ(read.submission.Returned(), STATUS_PENDING);
  device_.Unplug();
  read.submission.Wait();
}

struct Seen {
  KIRQL irql = PASSIVE_LEVEL;
  bool ran = false;
};

NTSTATUS RecordCompletion(PDEVICE_OBJECT, PIRP, PVOID context) {
  auto* seen = static_cast<Seen*>(context);
  seen->irql = KeGetCurrentIrql();
  seen->ran = true;
  return STATUS_MORE_PROCESSING_REQUIRED;
}

TEST_F(UsbDeviceTest, CompletionsRunAtDispatchLevel) {
  std::vector<uint8_t> buffer(64);
  URB urb = BulkTransferUrb(In(), kReadFlags, buffer.data(), 64);
  PIRP irp = IoAllocateIrp(device_.Pdo()->StackSize, FALSE);
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.Others.Argument1 = &urb;
  Seen seen;
  IoSetCompletionRoutine(irp, RecordCompletion, &seen, TRUE, TRUE, TRUE);
  EXPECT_EQ(IoCallDriver(device_.Pdo(), irp), STATUS_PENDING);
  device_.DeliverIn(Counting(2));
  kernel_.RunUntilIdle();
  ASSERT_TRUE(seen.ran);
  EXPECT_EQ(seen.irql, DISPATCH_LEVEL);
  IoFreeIrp(irp);
}

TEST_F(UsbDeviceTest, TheLogComparisonNamesTheFirstDifference) {
  URB reset = PipeRequestUrb(URB_FUNCTION_RESET_PIPE, In());
  Send(reset);
  URB halt = EndpointFeatureUrb(USB_FEATURE_ENDPOINT_STALL, kPanelBulkIn);
  Send(halt);
  auto& log = device_.Log();
  EXPECT_EQ(log.Compare({{"RESET_PIPE 0x81", "STATUS_SUCCESS"},
                         {"SET_FEATURE_TO_ENDPOINT feature 0 index 0x81", ""}}),
            "");
  EXPECT_NE(log.Compare({{"RESET_PIPE 0x81", "STATUS_SUCCESS"}}).find("URB 2: not expected"),
            std::string::npos);
  EXPECT_NE(log.Compare({{"ABORT_PIPE 0x81", ""}})
                .find("URB 1: expected ABORT_PIPE 0x81, got "
                      "RESET_PIPE 0x81"),
            std::string::npos);
  EXPECT_NE(log.Compare({{"RESET_PIPE 0x81", "STATUS_CANCELLED"}}).find("ended STATUS_SUCCESS"),
            std::string::npos);
  EXPECT_EQ(log.Count(URB_FUNCTION_RESET_PIPE), 1u);
}

TEST_F(UsbDeviceTest, AScriptedPeerAnswersTheHostAfterItsDelay) {
  kmodel::usb::ScriptedPeer peer({{{0x12, 0x00}, {0xA1, 0xA2, 0xA3}, 30}, {{0x20}, {0xB1}, 0}});
  device_.Connect(&peer);
  int64_t start = kernel_.Now();
  EXPECT_EQ(Write({0x12}), STATUS_SUCCESS);
  Read read(device_.Pdo(), In(), 2048);
  kernel_.AdvanceBy(Milliseconds(10));
  EXPECT_FALSE(read.submission.Completed());
  EXPECT_EQ(Write({0x00}), STATUS_SUCCESS);
  ASSERT_TRUE(read.submission.Wait());
  EXPECT_EQ(kernel_.Now() - start, Milliseconds(40));
  EXPECT_EQ(read.Received(), (std::vector<uint8_t>{0xA1, 0xA2, 0xA3}));
  EXPECT_EQ(Write({0x20}), STATUS_SUCCESS);
  Read second(device_.Pdo(), In(), 2048);
  ASSERT_TRUE(second.submission.Wait());
  EXPECT_EQ(second.Received(), std::vector<uint8_t>{0xB1});
  EXPECT_TRUE(peer.Finished());
  EXPECT_EQ(Write({0x77}), STATUS_SUCCESS);
  EXPECT_EQ(peer.Mismatch(), "after the script: 77");
  device_.Connect(nullptr);
}

}  // namespace
