// The downloader's panel simulator behind the simulated device's bulk pipes: the
// byte stream the driver will carry, answered by the same panel the downloader's
// own tests talk to, on the model's virtual clock.
#include <gtest/gtest.h>

#include <vector>

#include "kernel/usb/testing/urb_submission.h"
#include "kernel/usb/testing/usb_device.h"
#include "tools/panel-sim/frame.h"
#include "tools/panel-sim/panel_core.h"
#include "tools/panel-sim/protocol.h"

namespace {

using kmodel::Milliseconds;
using kmodel::usb::BulkTransferUrb;
using kmodel::usb::UrbSubmission;

// The panel's time is the model's (dravik::Clock comes with the panel core).
class ModelClock final : public dravik::Clock {
 public:
  uint32_t TickCount() override { return static_cast<uint32_t>(ProcessClock()); }
  int64_t ProcessClock() override { return kmodel::usb::ModelMilliseconds(); }
  // The panel core never sleeps; nothing here may move the model's time.
  void Sleep(uint32_t) override {}
};

// The two peer interfaces have the same shape; this joins them.
class PanelPeer final : public kmodel::usb::StreamPeer {
 public:
  explicit PanelPeer(panelsim::ByteStreamPeer& panel) : panel_(panel) {}
  void Receive(std::span<const uint8_t> bytes) override { panel_.Receive(bytes); }
  void Poll() override { panel_.Poll(); }
  size_t TakeOutput(std::span<uint8_t> buffer) override { return panel_.TakeOutput(buffer); }
  std::optional<int64_t> NextOutputMs() const override { return panel_.NextOutputMs(); }

 private:
  panelsim::ByteStreamPeer& panel_;
};

class PanelLinkTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> Identify(int64_t* elapsed) {
    std::vector<uint8_t> request = panelsim::BuildRequest(panelsim::cmd::kIdentify, 1);
    int64_t start = kernel_.Now();
    URB write = BulkTransferUrb(pipes_[1].PipeHandle, USBD_SHORT_TRANSFER_OK, request.data(),
                                static_cast<ULONG>(request.size()));
    UrbSubmission sent(device_.Pdo(), write);
    sent.Wait();
    EXPECT_EQ(sent.Status(), STATUS_SUCCESS);
    std::vector<uint8_t> buffer(2048);
    URB read =
        BulkTransferUrb(pipes_[0].PipeHandle, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
                        buffer.data(), 2048);
    UrbSubmission received(device_.Pdo(), read);
    EXPECT_TRUE(received.Wait(Milliseconds(1000)));
    *elapsed = kernel_.Now() - start;
    buffer.resize(read.UrbBulkOrInterruptTransfer.TransferBufferLength);
    return buffer;
  }

  kmodel::Kernel kernel_;
  ModelClock clock_;
  kmodel::usb::UsbDevice device_{kernel_, kmodel::usb::PanelDescription(0x1234, 0x5678)};
  std::vector<USBD_PIPE_INFORMATION> pipes_ = device_.ConfigureDirectly();
};

TEST_F(PanelLinkTest, TheIdentificationIsAnsweredOnBulkInAfterThePanelsTurnaround) {
  for (uint32_t delayMs : {0u, 30u}) {
    panelsim::PanelConfig config;
    config.machineType = 0x24;
    config.replyDelayMs = delayMs;
    panelsim::PanelCore panel(config, clock_);
    PanelPeer peer(panel);
    device_.Connect(&peer);
    int64_t elapsed = 0;
    std::vector<uint8_t> reply = Identify(&elapsed);
    ASSERT_GE(reply.size(), 9u) << "delay " << delayMs;
    EXPECT_EQ(reply[0], 0x7E);
    EXPECT_EQ(reply[1], 0x01);
    EXPECT_EQ(reply[4], panelsim::cmd::kIdentify);
    EXPECT_EQ(reply[5], 0x00);
    EXPECT_EQ(reply[8], 0x24);
    EXPECT_EQ(elapsed, Milliseconds(delayMs));
    EXPECT_EQ(panel.Stats().identifications, 1u);
    device_.Connect(nullptr);
  }
}

}  // namespace
