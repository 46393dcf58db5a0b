#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/link/result_codes.h"
#include "downloader/transfer/testing/engine_rig.h"

namespace dravik {
namespace {

std::span<const uint8_t> Part(const Bytes& block, size_t at, size_t size) {
  return std::span<const uint8_t>(block).subspan(at, size);
}

int Send(EngineRig& rig, const Bytes& block) {
  return rig.link.SendBinaryBlock(block.data(), static_cast<uint32_t>(block.size()));
}

TEST(SendBinaryBlock, PacketPlanFramesAndBar) {
  struct Case {
    size_t n;
    std::vector<size_t> frameSizes;
    std::vector<std::string> bar;
  };
  // The label takes the format's " %2d%%" at 100 too; only the completion of the
  // whole download writes the fixed "100%".
  const Case cases[] = {
      {2038, {2048}, {"  0%", " 100%"}},
      {2039, {2048, 9}, {"  0%", " 50%", " 100%"}},
      {6000, {2048, 2048, 1930}, {"  0%", " 33%", " 66%", " 100%"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EngineRig rig;
    rig.Connected();
    const Bytes block = PatternBytes(c.n);
    rig.panel.Packets(block);  // numbered down to 1; 00 01 before the first packet's data
    EXPECT_EQ(Send(rig, block), 0);
    EXPECT_TRUE(rig.port.ScriptDone());
    EXPECT_EQ(rig.FirstProblem(), "");
    size_t at = 0;
    for (size_t size : c.frameSizes) {
      ASSERT_LE(at + size, rig.port.Written().size());
      EXPECT_EQ(rig.port.Written()[at], 0x7E);
      at += size;
    }
    EXPECT_EQ(at, rig.port.Written().size());
    EXPECT_EQ(ToHex(&rig.port.Written()[7], 2), "00 01");
    EXPECT_EQ(rig.TextsOf(IDC_STEP_PERCENT), c.bar);
    EXPECT_TRUE(rig.window.Boxes().empty());
  }
}

TEST(SendBinaryBlock, TimeOutOnPacketTwoReidentifiesAndStartsTheBlockOver) {
  EngineRig rig;
  rig.Connected();
  const Bytes block = PatternBytes(6000);
  rig.panel.Packet(3, true, Part(block, 0, 2038));
  rig.port.Expect(DataPacketBytes(2, false, Part(block, 2038, 2040)));  // no reply
  rig.panel.Identify();
  rig.panel.Packets(block);  // from packet 3 and the block's first byte

  EXPECT_EQ(Send(rig, block), 0);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_EQ(rig.FirstProblem(), "");
  EXPECT_EQ(rig.TextsOf(IDC_STEP_PERCENT),
            (std::vector<std::string>{"  0%", " 33%", "  0%", " 33%", " 66%", " 100%"}));
  EXPECT_TRUE(rig.window.Boxes().empty());
}

TEST(SendBinaryBlock, AttemptsAreCountedAcrossPacketsAndRestarts) {
  EngineRig rig;  // RetryCount 3: the fourth retryable failure in the block gives up
  rig.Connected();
  const Bytes block = PatternBytes(2039);
  const auto p2 = Part(block, 0, 2038);
  const auto p1 = Part(block, 2038, 1);
  rig.panel.Packet(2, true, p2, 0x01);
  rig.panel.Identify();
  rig.panel.Packet(2, true, p2);
  rig.panel.Packet(1, false, p1, 0x40);
  rig.panel.Identify();
  rig.panel.Packet(2, true, p2, 0x02);
  rig.panel.Identify();
  rig.panel.Packet(2, true, p2, 0x01);

  EXPECT_EQ(Send(rig, block), RESULT_PANEL_STATUS);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_EQ(rig.FirstProblem(), "");
  // The packet loop never shows the transaction's own texts.
  EXPECT_EQ(rig.window.BoxTexts(), std::vector<std::string>{"Communication Error"});
}

TEST(SendBinaryBlock, GiveUpStatusEndsTheBlockAtOnce) {
  EngineRig rig;
  rig.Connected();
  const Bytes block = PatternBytes(6000);
  rig.panel.Packet(3, true, Part(block, 0, 2038), 0x17);
  EXPECT_EQ(Send(rig, block), RESULT_PANEL_STATUS);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_EQ(
      rig.window.Boxes(),
      (std::vector<BoxRecord>{{"Communication Error", BoxButtons::Ok, BoxIcon::Exclamation}}));
}

TEST(SendBinaryBlock, FailedReidentificationEndsTheBlock) {
  EngineRig rig;
  rig.Connected();
  const Bytes block = PatternBytes(100);
  rig.port.Expect(DataPacketBytes(1, true, block));
  rig.panel.Silent(0x12).Times(4);
  EXPECT_EQ(Send(rig, block), RESULT_TIMEOUT);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_EQ(rig.window.BoxTexts(), std::vector<std::string>{"Communication Error"});
}

TEST(SendBinaryBlock, UnlockInsideThePacketLoop) {
  // A panel without a code: the block starts over, and the unlock costs no attempt.
  EngineRig open;
  open.link.m_env.RetryCount = 1;
  open.Connected();
  const Bytes block = PatternBytes(2039);
  open.panel.Packet(2, true, Part(block, 0, 2038), 0x60);
  open.port.Expect(RequestBytes(0x10, {0x01})).Reply(ReplyBytes(0x10));
  open.port.Expect(RequestBytes(0x14, Hex("00 EE 00 00"))).Reply(ReplyBytes(0x14, 0, {0x00}));
  open.panel.Identify();
  open.panel.Packet(2, true, Part(block, 0, 2038), 0x01);
  open.panel.Identify();
  open.panel.Packets(block);
  EXPECT_EQ(Send(open, block), 0);
  EXPECT_TRUE(open.port.ScriptDone());
  EXPECT_EQ(open.FirstProblem(), "");
  EXPECT_TRUE(open.window.Boxes().empty());

  // The user enters the code: the block starts over as well.
  EngineRig entered;
  entered.Connected();
  entered.panel.Packet(2, true, Part(block, 0, 2038), 0x60);
  entered.panel.UnlockWithCode('Q');
  entered.window.QueueCodePrompt({"q"});
  entered.panel.Identify();
  entered.panel.Packets(block);
  EXPECT_EQ(Send(entered, block), 0);
  EXPECT_TRUE(entered.port.ScriptDone());
  EXPECT_EQ(entered.FirstProblem(), "");
  EXPECT_TRUE(entered.window.Boxes().empty());

  // The user declines the code prompt: the block ends without a message.
  EngineRig declined;
  declined.Connected();
  declined.panel.Packet(2, true, Part(block, 0, 2038), 0x60);
  declined.port.Expect(RequestBytes(0x10, {0x01})).Reply(ReplyBytes(0x10));
  declined.port.Expect(RequestBytes(0x14, Hex("00 EE 00 00"))).Reply(ReplyBytes(0x14, 0, {0x01}));
  declined.port.Expect(RequestBytes(0x01, Hex("00 EE 00 00 00 01")))
      .Reply(ReplyBytes(0x01, 0, Bytes(26, 0x41)));
  declined.port.Expect(RequestBytes(0x10, {0x00})).Reply(ReplyBytes(0x10));
  declined.panel.Command(0x20);
  declined.window.QueueCodePrompt({});
  EXPECT_EQ(Send(declined, block), RESULT_CANCELLED);
  EXPECT_TRUE(declined.port.ScriptDone());
  EXPECT_EQ(declined.FirstProblem(), "");
  EXPECT_TRUE(declined.window.Boxes().empty());
}

}  // namespace
}  // namespace dravik
