// The simulated device under real concurrency: completions on the model's
// processors race the client's cancels and aborts and the test's deliveries.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "kernel/usb/testing/urb_submission.h"
#include "kernel/usb/testing/usb_device.h"

namespace {

using kmodel::usb::BulkTransferUrb;
using kmodel::usb::PipeRequestUrb;
using kmodel::usb::UrbSubmission;

TEST(UsbDeviceConcurrentTest, ReadsRacingCancelsAbortsAndDeliveriesLoseAndRepeatNoByte) {
  kmodel::KernelOptions options;
  options.processors = kmodel::ProcessorMode::Threaded;
  kmodel::Kernel kernel(options);
  kmodel::usb::UsbDevice device(kernel, kmodel::usb::PanelDescription(0x1234, 0x5678));
  std::vector<USBD_PIPE_INFORMATION> pipes = device.ConfigureDirectly();
  USBD_PIPE_HANDLE in = pipes[0].PipeHandle;
  constexpr size_t kBytes = 20000;
  std::vector<uint8_t> sent(kBytes);
  for (size_t i = 0; i < kBytes; ++i) sent[i] = static_cast<uint8_t>(i * 7 + i / 251);

  // The first rounds find no data: each read ends by its cancel or by an abort.
  constexpr int kDryRounds = 300;
  std::atomic<int> rounds{0};
  std::atomic<bool> reading{true};
  std::thread deliverer([&] {
    while (rounds < kDryRounds) std::this_thread::yield();
    for (size_t at = 0; at < kBytes;) {
      size_t size = std::min<size_t>(1 + at % 97, kBytes - at);
      device.DeliverIn(std::span<const uint8_t>(sent).subspan(at, size));
      at += size;
    }
  });
  std::thread aborter([&] {
    while (reading) {
      URB abort = PipeRequestUrb(URB_FUNCTION_ABORT_PIPE, in);
      UrbSubmission submission(device.Pdo(), abort);
      submission.Wait();
      EXPECT_EQ(submission.Status(), STATUS_SUCCESS);
    }
  });
  std::vector<uint8_t> received;
  int cancelled = 0;
  for (int round = 0; received.size() < kBytes && round < 1'000'000; rounds = ++round) {
    std::vector<uint8_t> buffer(64);
    URB read =
        BulkTransferUrb(in, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, buffer.data(), 64);
    UrbSubmission submission(device.Pdo(), read);
    if (round % 3 == 0) submission.Cancel();
    ASSERT_TRUE(submission.Wait());
    if (submission.Status() == STATUS_CANCELLED) {
      ++cancelled;
      EXPECT_EQ(read.UrbBulkOrInterruptTransfer.TransferBufferLength, 0u);
      continue;
    }
    ASSERT_EQ(submission.Status(), STATUS_SUCCESS);
    received.insert(received.end(), buffer.begin(),
                    buffer.begin() + read.UrbBulkOrInterruptTransfer.TransferBufferLength);
  }
  reading = false;
  deliverer.join();
  aborter.join();
  EXPECT_EQ(received, sent);
  EXPECT_GE(cancelled, kDryRounds);
}

}  // namespace
