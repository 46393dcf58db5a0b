// A binary block in numbered data packets. A packet that fails makes the sender
// re-identify the panel and send the whole block again from its first byte; the
// attempt counter is the block's, shared by all its packets and restarts.

#include <array>

#include "downloader/link/command_table.h"
#include "downloader/link/frame.h"
#include "downloader/link/result_codes.h"
#include "downloader/resources/string_table.h"
#include "downloader/transfer/download_controls.h"
#include "downloader/transfer/download_engine.h"
#include "downloader/transfer/package_limits.h"
#include "downloader/transfer/packet_plan.h"

namespace dravik {

int DownloadEngine::SendBinaryBlock(const uint8_t* data, uint32_t length) {
  // Packet numbers are 16-bit; the package check refuses such blocks before any
  // byte is sent, and this keeps a caller from sending one with numbers wrapped.
  if (BinaryPacketCount(length) > kMaxPacketsPerBlock) {
    ShowError(LoadString(IDS_PACKAGE_BROKEN));
    return RESULT_BROKEN_DATA;
  }
  const std::vector<uint16_t> plan = MakePacketPlan(length);
  const auto packets = static_cast<uint16_t>(plan.size());
  std::array<uint8_t, kMaxFrameLength> frame;
  std::array<uint8_t, kDataPacketCommand.replyCapacity> reply;
  int attempt = 0;
  uint32_t status = 0;
  int result = 0;

  for (;;) {  // each start of the block
    ResetBlockProgress();
    uint16_t number = packets;
    uint32_t sent = 0;
    uint64_t a = 0;
    const uint8_t* at = data;
    bool startOver = false;
    result = 0;
    for (const uint16_t size : plan) {
      PumpMessages();
      const int frameLength = BuildDataPacket(frame, number, sent == 0, {at, size});
      at += size;
      a += 100;
      const int r =
          SendReceive(frame.data(), static_cast<int16_t>(frameLength), reply.data(),
                      kDataPacketCommand.replyCapacity, kDataPacketCommand.code, number, status);
      const RetryDecision decision = DecideRetry(r, status, attempt);
      if (decision == RetryDecision::Done) {
        status = 0;
        SetProgress(IDC_STEP_BAR, IDC_STEP_PERCENT, static_cast<int>(a / packets));
        --number;
        sent += size;
        continue;
      }
      if (decision == RetryDecision::Retry) {
        ++attempt;
        startOver = true;
      } else if (decision == RetryDecision::Unlock) {
        // A panel without a code, or the right code entered: the panel takes packets
        // again, so the block starts over without counting an attempt. (Ending the
        // block with "Communication Error" after the user typed the right code would
        // fail a download that can go on.) A declined prompt or any failure ends it.
        result = UnlockPanel();
        startOver = result == 0 || result == RESULT_UNLOCKED;
      } else {
        result = r;
      }
      break;
    }
    if (!startOver) break;
    // Find out whether the panel is still there before sending the block again.
    MachineInfo info;
    result = IdentifyUnlocked(info);
    if (result != 0) break;
  }
  ReportSendFailure(result);
  PumpMessages();
  return result;
}

}  // namespace dravik
