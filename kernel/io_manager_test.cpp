// The I/O manager's rules: completion routines, the stop at
// STATUS_MORE_PROCESSING_REQUIRED, the pending flag, boosts and the requests the I/O
// manager owns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/kernel.h"
#include "kernel/testing/handler_stack.h"
#include "kernel/testing/io_request.h"
#include "kernel/testing/kernel_model.h"

namespace {

using kmodel::HandlerStack;
using kmodel::IoRequest;

struct Seen {
  PDEVICE_OBJECT device;
  NTSTATUS status;
  BOOLEAN pendingReturned;
  KIRQL irql;
};

// Completion context: the list of routine calls, and what the routine returns.
struct Recorder {
  std::vector<Seen>* log;
  NTSTATUS result = STATUS_CONTINUE_COMPLETION;
  bool propagatePending = true;
};

NTSTATUS RecordCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  auto* recorder = static_cast<Recorder*>(context);
  recorder->log->push_back(
      {device, irp->IoStatus.Status, irp->PendingReturned, KeGetCurrentIrql()});
  if (recorder->result != STATUS_MORE_PROCESSING_REQUIRED && recorder->propagatePending &&
      irp->PendingReturned) {
    IoMarkIrpPending(irp);
  }
  return recorder->result;
}

// A handler that copies its location down with a recording completion routine.
kmodel::BusDriver::Handler ForwardWithRoutine(HandlerStack& stack, int index, Recorder& recorder,
                                              BOOLEAN onSuccess = TRUE, BOOLEAN onError = TRUE,
                                              BOOLEAN onCancel = TRUE) {
  return [&stack, index, &recorder, onSuccess, onError, onCancel](PDEVICE_OBJECT, PIRP irp) {
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, RecordCompletion, &recorder, onSuccess, onError, onCancel);
    return IoCallDriver(stack.Device(index - 1), irp);
  };
}

kmodel::BusDriver::Handler CompleteWith(NTSTATUS status, ULONG_PTR information = 0,
                                        CCHAR boost = IO_NO_INCREMENT) {
  return [status, information, boost](PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, boost);
    return status;
  };
}

class IoManagerTest : public ::testing::Test {
 protected:
  kmodel::Kernel kernel_;
  std::vector<Seen> log_;
};

TEST_F(IoManagerTest, CompletionRoutinesRunFromTheBottomUpAndSeeTheFinalStatus) {
  for (NTSTATUS status : {STATUS_SUCCESS, STATUS_UNSUCCESSFUL, STATUS_CANCELLED}) {
    log_.clear();
    HandlerStack stack(3);
    Recorder middle{&log_};
    Recorder top{&log_};
    stack.SetHandler(0, CompleteWith(status, 5));
    stack.SetHandler(1, ForwardWithRoutine(stack, 1, middle));
    stack.SetHandler(2, ForwardWithRoutine(stack, 2, top));
    IoRequest request(stack.Top(), IRP_MJ_READ);
    EXPECT_EQ(request.Send(), status);
    ASSERT_EQ(log_.size(), 2u);
    EXPECT_EQ(log_[0].device, stack.Device(1));
    EXPECT_EQ(log_[1].device, stack.Device(2));
    for (const Seen& seen : log_) EXPECT_EQ(seen.status, status);
    EXPECT_TRUE(request.Completed());
    EXPECT_EQ(request.Status(), status);
    EXPECT_EQ(request.Information(), 5u);
  }
}

TEST_F(IoManagerTest, TheInvokeFlagsChooseWhetherARoutineRuns) {
  struct Row {
    NTSTATUS status;
    bool cancelled;
    BOOLEAN onSuccess, onError, onCancel;
    bool runs;
  };
  const Row rows[] = {
      {STATUS_SUCCESS, false, TRUE, FALSE, FALSE, true},
      {STATUS_SUCCESS, false, FALSE, TRUE, TRUE, false},
      {STATUS_UNSUCCESSFUL, false, FALSE, TRUE, FALSE, true},
      {STATUS_UNSUCCESSFUL, false, TRUE, FALSE, TRUE, false},
      {STATUS_CANCELLED, true, FALSE, FALSE, TRUE, true},
      {STATUS_CANCELLED, true, TRUE, FALSE, FALSE, false},
      // The cancel flag calls the routine even when the request then succeeded.
      {STATUS_SUCCESS, true, FALSE, FALSE, TRUE, true},
  };
  for (const Row& row : rows) {
    log_.clear();
    HandlerStack stack(2);
    Recorder top{&log_};
    stack.SetHandler(0, CompleteWith(row.status));
    stack.SetHandler(1,
                     ForwardWithRoutine(stack, 1, top, row.onSuccess, row.onError, row.onCancel));
    IoRequest request(stack.Top(), IRP_MJ_WRITE);
    request.Irp()->Cancel = row.cancelled ? TRUE : FALSE;
    request.Send();
    EXPECT_EQ(log_.size(), row.runs ? 1u : 0u)
        << "status " << row.status << " flags " << int{row.onSuccess} << int{row.onError}
        << int{row.onCancel};
    EXPECT_TRUE(request.Completed());
  }
}

// The middle device forwards synchronously: its routine stops completion, it waits
// for the event, and completes the request again with a status of its own.
TEST_F(IoManagerTest, MoreProcessingRequiredStopsCompletionUntilTheOwnerCompletesAgain) {
  for (bool lowerPends : {false, true}) {
    log_.clear();
    HandlerStack stack(3);
    Recorder top{&log_};
    bool stoppedBelowTop = false;
    stack.SetHandler(0, [&](PDEVICE_OBJECT, PIRP irp) {
      if (!lowerPends) return CompleteWith(STATUS_SUCCESS)(nullptr, irp);
      IoMarkIrpPending(irp);
      kernel_.QueueAtDispatch([irp] { CompleteWith(STATUS_SUCCESS)(nullptr, irp); });
      return STATUS_PENDING;
    });
    stack.SetHandler(1, [&](PDEVICE_OBJECT, PIRP irp) {
      KEVENT done;
      KeInitializeEvent(&done, NotificationEvent, FALSE);
      IoCopyCurrentIrpStackLocationToNext(irp);
      IoSetCompletionRoutine(
          irp,
          [](PDEVICE_OBJECT, PIRP, PVOID context) {
            KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
            return STATUS_MORE_PROCESSING_REQUIRED;
          },
          &done, TRUE, TRUE, TRUE);
      if (IoCallDriver(stack.Device(0), irp) == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
      }
      stoppedBelowTop = log_.empty();
      irp->IoStatus.Status = STATUS_DEVICE_BUSY;
      IoCompleteRequest(irp, IO_NO_INCREMENT);
      return STATUS_DEVICE_BUSY;
    });
    stack.SetHandler(2, ForwardWithRoutine(stack, 2, top));
    IoRequest request(stack.Top(), IRP_MJ_PNP, IRP_MN_START_DEVICE);
    EXPECT_EQ(request.Send(), STATUS_DEVICE_BUSY);
    EXPECT_TRUE(stoppedBelowTop) << "lower pends: " << lowerPends;
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].status, STATUS_DEVICE_BUSY);
    EXPECT_EQ(request.Status(), STATUS_DEVICE_BUSY);
  }
}

TEST_F(IoManagerTest, ThePendingMarkMovesUpToTheOriginatorAndCompletionRunsAtDispatchLevel) {
  for (bool topHasRoutine : {false, true}) {
    log_.clear();
    HandlerStack stack(3);
    Recorder top{&log_};
    stack.SetHandler(0, [&](PDEVICE_OBJECT, PIRP irp) {
      IoMarkIrpPending(irp);
      kernel_.QueueAtDispatch([irp] { CompleteWith(STATUS_SUCCESS, 9)(nullptr, irp); });
      return STATUS_PENDING;
    });
    stack.SetHandler(1, [&](PDEVICE_OBJECT, PIRP irp) { return stack.PassDown(1, irp); });
    if (topHasRoutine) {
      stack.SetHandler(2, ForwardWithRoutine(stack, 2, top));
    } else {
      stack.SetHandler(2, [&](PDEVICE_OBJECT, PIRP irp) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        return IoCallDriver(stack.Device(1), irp);
      });
    }
    IoRequest request(stack.Top(), IRP_MJ_READ);
    EXPECT_EQ(request.Send(), STATUS_PENDING);
    EXPECT_FALSE(request.Completed());
    kernel_.RunUntilIdle();
    ASSERT_TRUE(request.Completed());
    EXPECT_TRUE(request.Irp()->PendingReturned);
    if (topHasRoutine) {
      ASSERT_EQ(log_.size(), 1u);
      EXPECT_TRUE(log_[0].pendingReturned);
      EXPECT_EQ(log_[0].irql, DISPATCH_LEVEL);
    }
  }
}

// The asynchronous pattern: a request of the driver's own, one location more than the
// stack below needs, freed by its completion routine.
TEST_F(IoManagerTest, ADriverRequestFreedByItsOwnCompletionRoutineIsSound) {
  HandlerStack stack(2);
  int freed = 0;
  stack.SetHandler(0, [&](PDEVICE_OBJECT, PIRP irp) {
    IoMarkIrpPending(irp);
    kernel_.QueueAtDispatch([irp] { CompleteWith(STATUS_SUCCESS)(nullptr, irp); });
    return STATUS_PENDING;
  });
  stack.SetHandler(1, [&](PDEVICE_OBJECT, PIRP irp) {
    PIRP own = IoAllocateIrp(static_cast<CCHAR>(stack.Device(0)->StackSize + 1), FALSE);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(own);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoSetCompletionRoutine(
        own,
        [](PDEVICE_OBJECT, PIRP done, PVOID context) {
          ++*static_cast<int*>(context);
          IoFreeIrp(done);
          return STATUS_MORE_PROCESSING_REQUIRED;
        },
        &freed, TRUE, TRUE, TRUE);
    IoCallDriver(stack.Device(0), own);
    return CompleteWith(STATUS_SUCCESS)(nullptr, irp);
  });
  IoRequest request(stack.Top(), IRP_MJ_WRITE);
  EXPECT_EQ(request.Send(), STATUS_SUCCESS);
  kernel_.RunUntilIdle();
  EXPECT_EQ(freed, 1);
}

TEST_F(IoManagerTest, ThePriorityBoostOfTheCompletionIsRecorded) {
  HandlerStack stack(1);
  stack.SetHandler(0, CompleteWith(STATUS_SUCCESS, 0, IO_SERIAL_INCREMENT));
  IoRequest request(stack.Top(), IRP_MJ_READ);
  request.Send();
  EXPECT_EQ(request.Boost(), IO_SERIAL_INCREMENT);
}

// Output is copied back for success and for a warning such as STATUS_BUFFER_OVERFLOW
// (the part that fitted), never for an error.
TEST_F(IoManagerTest, ABuiltControlRequestFillsTheStatusBlockSetsTheEventAndCopiesOutput) {
  for (NTSTATUS final : {STATUS_SUCCESS, STATUS_BUFFER_OVERFLOW, STATUS_UNSUCCESSFUL}) {
    HandlerStack stack(1);
    stack.SetHandler(0, [&](PDEVICE_OBJECT, PIRP irp) {
      PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
      EXPECT_EQ(location->MajorFunction, IRP_MJ_INTERNAL_DEVICE_CONTROL);
      EXPECT_EQ(location->Parameters.DeviceIoControl.IoControlCode, 0x220000u);
      auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
      EXPECT_EQ(buffer[0], 0x41);
      IoMarkIrpPending(irp);
      kernel_.ScheduleAfter(kmodel::Milliseconds(5), [irp, buffer, final] {
        buffer[0] = 0x5A;
        buffer[1] = 0x5B;
        CompleteWith(final, 2)(nullptr, irp);
      });
      return STATUS_PENDING;
    });
    UCHAR input[2] = {0x41, 0x42};
    UCHAR output[4] = {};
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK status{};
    PIRP irp = IoBuildDeviceIoControlRequest(0x220000, stack.Top(), input, sizeof input, output,
                                             sizeof output, TRUE, &event, &status);
    ASSERT_NE(irp, nullptr);
    ASSERT_EQ(IoCallDriver(stack.Top(), irp), STATUS_PENDING);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(status.Status, final);
    EXPECT_EQ(status.Information, 2u);
    bool copied = final != STATUS_UNSUCCESSFUL;
    EXPECT_EQ(output[0], copied ? 0x5A : 0) << "status " << final;
    EXPECT_EQ(output[1], copied ? 0x5B : 0) << "status " << final;
    EXPECT_EQ(output[2], 0);
  }
}

TEST_F(IoManagerTest, AnIrpThatCannotBeAllocatedIsNull) {
  HandlerStack stack(1);
  kernel_.Faults().FailEvery(kmodel::AllocationKind::Irp);
  KEVENT event;
  KeInitializeEvent(&event, NotificationEvent, FALSE);
  IO_STATUS_BLOCK status{};
  EXPECT_EQ(IoAllocateIrp(2, FALSE), nullptr);
  EXPECT_EQ(IoBuildDeviceIoControlRequest(0x220000, stack.Top(), nullptr, 0, nullptr, 0, TRUE,
                                          &event, &status),
            nullptr);
}

}  // namespace
