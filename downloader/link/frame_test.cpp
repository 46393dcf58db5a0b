#include <gtest/gtest.h>

#include <functional>

#include "downloader/link/download_link.h"
#include "downloader/link/result_codes.h"
#include "downloader/link/testing/link_rig.h"

namespace dravik {
namespace {

TEST(ComputeBcc, IsTheExclusiveOrOfTheBytes) {
  const Bytes identify = Hex("7E 01 00 03 12 00 01 6F");
  EXPECT_EQ(DownloadLink::ComputeBcc(identify.data(), 7), 0x6F);
  EXPECT_EQ(DownloadLink::ComputeBcc(identify.data(), 8), 0x00);
  EXPECT_EQ(DownloadLink::ComputeBcc(identify.data(), 0), 0x00);
}

// Every request the link sends, as it appears on the wire. Each row runs the member
// against a panel that expects exactly these bytes and answers with the shortest
// reply the member accepts.
struct WireCase {
  const char* name;
  std::function<int(DownloadLink&)> send;
  const char* frame;
  Bytes reply;
  int result = 0;
};

Bytes CodeReply() {
  return ReplyBytes(0x01, 0, Bytes(26, 0x00));
}

const WireCase kWireCases[] = {
    {"Identify",
     [](DownloadLink& l) {
       MachineInfo info;
       return l.Identify(info);
     },
     "7E 01 00 03 12 00 01 6F", ReplyBytes(0x12, 0, Hex("05 0C 00 00 00 00 00 00 00 00 00"))},
    {"EnterUpdateMode", [](DownloadLink& l) { return l.EnterUpdateMode(); },
     "7E 01 00 03 63 00 01 1E", ReplyBytes(0x63)},
    {"PrepareTextBlock", [](DownloadLink& l) { return l.PrepareTextBlock(); },
     "7E 01 00 03 09 00 01 74", ReplyBytes(0x09)},
    {"BeginTextBlock", [](DownloadLink& l) { return l.BeginTextBlock(); },
     "7E 01 00 03 60 00 01 1D", ReplyBytes(0x60)},
    {"EndTextBlock", [](DownloadLink& l) { return l.EndTextBlock(); }, "7E 01 00 03 62 00 01 1F",
     ReplyBytes(0x62)},
    {"RequestRestart", [](DownloadLink& l) { return l.RequestRestart(); },
     "7E 01 00 03 20 00 01 5D", Hex("7E 01 00 04 20 00 00 01 5A")},
    {"RequestRestartAndWait",
     [](DownloadLink& l) {
       uint32_t status = 0;
       return l.RequestRestartAndWait(status);
     },
     "7E 01 00 03 20 00 01 5D", ReplyBytes(0x20)},
    {"SetUnlockMode on", [](DownloadLink& l) { return l.SetUnlockMode(true); },
     "7E 01 00 04 10 00 01 01 6B", ReplyBytes(0x10)},
    {"SetUnlockMode off", [](DownloadLink& l) { return l.SetUnlockMode(false); },
     "7E 01 00 04 10 00 01 00 6A", ReplyBytes(0x10)},
    {"QueryProtection", [](DownloadLink& l) { return l.QueryProtection(); },
     "7E 01 00 07 14 00 01 00 EE 00 00 83", ReplyBytes(0x14, 0, Hex("00"))},
    {"ReadPanelCode",
     [](DownloadLink& l) {
       PanelCode code;
       return l.ReadPanelCode(code);
     },
     "7E 01 00 09 01 00 01 00 EE 00 00 00 01 99", CodeReply()},
    {"data packet 1 of its block, no reply awaited",
     [](DownloadLink& l) {
       const Bytes data = Hex("00 01 AA BB CC");
       uint8_t frame[kMaxFrameLength];
       const int16_t length =
           DownloadLink::BuildRequest(frame, sizeof frame, 0x00, 0x0001, data.data(), 5);
       uint32_t status = 0;
       return l.SendReceive(frame, length, nullptr, 0, 0x00, 0x0001, status);
     },
     "7E 01 00 08 00 00 01 00 01 AA BB CC AA",
     {}},
};

TEST(Wire, EveryRequestGoesOutByteForByte) {
  for (const WireCase& c : kWireCases) {
    SCOPED_TRACE(c.name);
    LinkRig<> rig;
    ASSERT_EQ(rig.Open(), 0);
    rig.port.Expect(Hex(c.frame)).Reply(c.reply);
    EXPECT_EQ(c.send(rig.link), c.result);
    EXPECT_EQ(ToHex(rig.port.Written()), c.frame);
    EXPECT_TRUE(rig.port.Problems().empty()) << rig.port.Problems().front();
    EXPECT_TRUE(rig.window.Boxes().empty());
  }
}

TEST(BuildRequest, RefusesFramesThatDoNotFit) {
  uint8_t small[8];
  const uint8_t data[1] = {0x01};
  EXPECT_EQ(DownloadLink::BuildRequest(small, sizeof small, 0x12, 1, nullptr, 0), 8);
  EXPECT_EQ(DownloadLink::BuildRequest(small, sizeof small, 0x10, 1, data, 1), 0);
  static uint8_t big[kMaxFrameLength + 1];
  static const uint8_t bigData[kMaxFrameLength] = {};
  EXPECT_EQ(DownloadLink::BuildRequest(big, sizeof big, 0x00, 1, bigData, 2040), 2048);
  EXPECT_EQ(DownloadLink::BuildRequest(big, sizeof big, 0x00, 1, bigData, 2041), 0);
  EXPECT_EQ(DownloadLink::BuildRequest(big, sizeof big, 0x00, 1, bigData, -1), 0);
}

struct ReplyCase {
  const char* name;
  const char* bytes;
  int count;  // of the bytes, those the channel read
  uint8_t command;
  uint16_t packetNumber;
  int result;
  uint32_t status;  // after the call; starts as kUntouched
};

constexpr uint32_t kUntouched = 0xABCD;

constexpr ReplyCase kReplyCases[] = {
    {"minimal good reply", "7E 01 00 04 20 00 00 01 5A", 9, 0x20, 1, 0, kUntouched},
    {"bytes 0 and 1 are not examined", "00 00 00 04 20 00 00 01 25", 9, 0x20, 1, 0, kUntouched},
    {"status with a bad BCC", "7E 01 00 04 20 11 00 01 00", 9, 0x20, 1, RESULT_PANEL_STATUS, 0x11},
    {"status with a wrong length", "7E 01 00 09 20 20 00 01 5A", 9, 0x20, 1, RESULT_PANEL_STATUS,
     0x20},
    {"status in a 6-byte frame", "7E 01 00 00 20 30", 6, 0x20, 1, RESULT_PANEL_STATUS, 0x30},
    {"bad BCC", "7E 01 00 04 20 00 00 01 5B", 9, 0x20, 1, RESULT_BAD_REPLY, kUntouched},
    {"length field differs from the count", "7E 01 00 05 20 00 00 01 5B", 9, 0x20, 1,
     RESULT_BAD_REPLY, kUntouched},
    {"command 0x13 to a request 0x12", "7E 01 00 04 13 00 00 01 69", 9, 0x12, 1, RESULT_BAD_REPLY,
     kUntouched},
    {"packet 4 echoed to packet 5", "7E 01 00 04 00 00 00 04 7F", 9, 0x00, 5, RESULT_BAD_REPLY,
     kUntouched},
    {"L = 0 and status 0", "7E 01 00 00 20 00", 6, 0x20, 1, RESULT_BAD_REPLY, kUntouched},
    // Length and BCC agree with 7 bytes, and a stale 01 after them would complete
    // the packet number: a frame that ends before its packet number is bad.
    {"frame ends before its packet number", "7E 01 00 02 7D 00 00 01", 7, 0x7D, 1, RESULT_BAD_REPLY,
     kUntouched},
};

TEST(ValidateReply, AcceptsOnlyWholeEchoingFramesAndReportsStatusFirst) {
  for (const ReplyCase& c : kReplyCases) {
    SCOPED_TRACE(c.name);
    const Bytes reply = Hex(c.bytes);
    uint32_t status = kUntouched;
    EXPECT_EQ(DownloadLink::ValidateReply(reply.data(), c.count, c.command, c.packetNumber, status),
              c.result);
    EXPECT_EQ(status, c.status);
  }
}

TEST(SendReceive, WithoutReplyBufferReadsNothing) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  const Bytes request = RequestBytes(0x20);
  rig.port.Expect(request).Reply(ReplyBytes(0x20));
  uint32_t status = 0;
  EXPECT_EQ(rig.link.SendReceive(request.data(), static_cast<int16_t>(request.size()), nullptr, 0,
                                 0x20, 1, status),
            0);
  EXPECT_EQ(rig.port.PendingInput(), 9u);
  EXPECT_EQ(rig.Elapsed(), 0u);
}

TEST(SendReceive, PassesChannelFailuresThrough) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  const Bytes request = RequestBytes(0x20);
  rig.port.Expect(request).FailWrite();
  rig.port.Expect(request).FailRead();
  rig.port.Expect(request);
  uint8_t reply[22];
  uint32_t status = 0;
  const auto exchange = [&] {
    return rig.link.SendReceive(request.data(), static_cast<int16_t>(request.size()), reply,
                                sizeof reply, 0x20, 1, status);
  };
  EXPECT_EQ(exchange(), RESULT_WRITE_FAILED);
  EXPECT_EQ(exchange(), RESULT_READ_FAILED);
  EXPECT_EQ(exchange(), RESULT_TIMEOUT);
  EXPECT_TRUE(rig.port.ScriptDone());
}

}  // namespace
}  // namespace dravik
