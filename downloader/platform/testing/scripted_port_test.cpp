#include "downloader/platform/testing/scripted_port.h"

#include <gtest/gtest.h>

#include <limits>

namespace dravik {
namespace {

PortTimeouts ReadTimeout(uint32_t ms) {
  PortTimeouts t;
  t.ReadIntervalTimeout = ms;
  t.ReadTotalTimeoutMultiplier = ms;
  return t;
}

bool WriteAll(BytePort& port, const Bytes& bytes) {
  uint32_t written = 0;
  return port.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), written) &&
         written == bytes.size();
}

// Reads whatever arrives until a read comes back empty.
Bytes Drain(BytePort& port) {
  Bytes bytes;
  for (;;) {
    uint8_t byte = 0;
    uint32_t got = 0;
    if (!port.ReadByte(byte, got) || got == 0) return bytes;
    bytes.push_back(byte);
  }
}

TEST(ScriptedPort, RepliesOnlyOnceTheWholeRequestIsIn) {
  VirtualClock clock;
  ScriptedPort port(clock);
  port.SetTimeouts(ReadTimeout(100));
  port.Expect(Hex("01 02 03")).Reply(Hex("AA BB"));
  uint32_t written = 0;
  ASSERT_TRUE(port.Write(Hex("01 02").data(), 2, written));
  EXPECT_EQ(port.PendingInput(), 0u);
  ASSERT_TRUE(WriteAll(port, Hex("03")));
  EXPECT_EQ(Drain(port), Hex("AA BB"));
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_TRUE(port.Problems().empty());
}

TEST(ScriptedPort, TheFirstMismatchIsRecordedAndThePanelFallsSilent) {
  VirtualClock clock;
  ScriptedPort port(clock);
  port.SetTimeouts(ReadTimeout(100));
  port.Expect(Hex("01 02 03")).Reply(Hex("AA"));
  port.Expect(Hex("04")).Reply(Hex("BB"));
  ASSERT_TRUE(WriteAll(port, Hex("01 09 03 04")));
  ASSERT_EQ(port.Problems().size(), 1u);
  EXPECT_EQ(port.Problems()[0], "step 0: expected 01 02 03, got 01 09...");
  EXPECT_EQ(Drain(port), Bytes{});
  EXPECT_EQ(port.Written(), Hex("01 09 03 04"));
  EXPECT_FALSE(port.ScriptDone());

  ScriptedPort unscripted(clock);
  ASSERT_TRUE(WriteAll(unscripted, Hex("7E")));
  EXPECT_EQ(unscripted.Problems().size(), 1u);
}

TEST(ScriptedPort, RepeatedStepsAndFaults) {
  VirtualClock clock;
  ScriptedPort port(clock);
  port.SetTimeouts(ReadTimeout(100));
  port.Expect(Hex("01")).FailWrite().Times(2);
  port.Expect(Hex("01")).FailRead();
  port.Expect(Hex("01")).Reply(Hex("AA")).Times(ScriptStep::kForever);
  EXPECT_FALSE(WriteAll(port, Hex("01")));
  EXPECT_FALSE(WriteAll(port, Hex("01")));
  EXPECT_TRUE(WriteAll(port, Hex("01")));
  uint8_t byte = 0;
  uint32_t got = 0;
  EXPECT_FALSE(port.ReadByte(byte, got));
  EXPECT_FALSE(port.ScriptDone());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(WriteAll(port, Hex("01")));
    EXPECT_EQ(Drain(port), Hex("AA"));
  }
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(port.RequestCount(), 6u);
}

TEST(ScriptedPort, ReadsCostVirtualTimeByTheReadTimeout) {
  VirtualClock clock(1000);
  ScriptedPort port(clock);
  port.SetTimeouts(ReadTimeout(500));
  uint8_t byte = 0;
  uint32_t got = 1;
  ASSERT_TRUE(port.ReadByte(byte, got));  // nothing to read: one time-out
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(clock.NowMs(), 1500u);

  port.Feed(Hex("11"), 300);  // within the time-out: the read returns when it comes
  ASSERT_TRUE(port.ReadByte(byte, got));
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(byte, 0x11);
  EXPECT_EQ(clock.NowMs(), 1800u);

  port.Feed(Hex("22"), 501);  // later than the time-out: not this read
  ASSERT_TRUE(port.ReadByte(byte, got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(clock.NowMs(), 2300u);
  ASSERT_TRUE(port.ReadByte(byte, got));
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(clock.NowMs(), 2301u);

  PortTimeouts immediate;
  immediate.ReadIntervalTimeout = std::numeric_limits<uint32_t>::max();
  port.SetTimeouts(immediate);
  ASSERT_TRUE(port.ReadByte(byte, got));
  EXPECT_EQ(clock.NowMs(), 2301u);

  port.SetTimeouts(PortTimeouts{});  // no time-outs and nothing to come: a hang
  EXPECT_FALSE(port.ReadByte(byte, got));
  EXPECT_EQ(port.Problems().size(), 1u);
}

TEST(ScriptedPort, SplitRepliesArriveInPiecesApart) {
  VirtualClock clock;
  ScriptedPort port(clock);
  port.SetTimeouts(ReadTimeout(1000));
  port.Expect(Hex("01")).ReplySplit(Hex("A1 A2 A3 A4 A5"), {2, 2}, 50).Then(0, Hex("B1"));
  ASSERT_TRUE(WriteAll(port, Hex("01")));
  EXPECT_EQ(Drain(port), Hex("A1 A2 A3 A4 A5 B1"));
  EXPECT_EQ(clock.NowMs(), 100u + 1000u);  // the last piece 100 ms in, then one time-out
}

TEST(ScriptedPort, WritePlanLimitsEachCall) {
  VirtualClock clock;
  ScriptedPort port(clock);
  port.Expect(Hex("01 02 03 04 05"));
  port.SetWritePlan({{2, 10}, {0, 20}}, {1, 5});
  const Bytes data = Hex("01 02 03 04 05");
  uint32_t written = 0;
  ASSERT_TRUE(port.Write(data.data(), 5, written));
  EXPECT_EQ(written, 2u);
  ASSERT_TRUE(port.Write(data.data() + 2, 3, written));
  EXPECT_EQ(written, 0u);
  ASSERT_TRUE(port.Write(data.data() + 2, 3, written));
  EXPECT_EQ(written, 1u);
  EXPECT_EQ(clock.NowMs(), 35u);
  port.FailNextWrite();
  EXPECT_FALSE(port.Write(data.data() + 3, 2, written));
}

TEST(ScriptedPort, OpensAreExclusiveAndRecorded) {
  VirtualClock clock;
  ScriptedPort port(clock);
  PortError error = PortError::Other;
  auto first = port.Open("\\\\.\\COM3", &error);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(error, PortError::None);
  EXPECT_EQ(port.Open("\\\\.\\COM3", &error), nullptr);
  EXPECT_EQ(error, PortError::InUse);
  first.reset();
  EXPECT_EQ(port.CloseCount(), 1);
  port.FailOpen(PortError::NotFound);
  EXPECT_EQ(port.Open("\\\\.\\COM4", &error), nullptr);
  EXPECT_EQ(error, PortError::NotFound);
  EXPECT_EQ(port.OpenedNames(),
            (std::vector<std::string>{"\\\\.\\COM3", "\\\\.\\COM3", "\\\\.\\COM4"}));

  port.FailOpen(PortError::None);
  auto handle = port.Open("\\\\.\\COM3", nullptr);
  LineState state;
  state.BaudRate = 115200;
  port.RefuseLineState(true);
  EXPECT_FALSE(handle->SetLineState(state));
  port.RefuseLineState(false);
  EXPECT_TRUE(handle->SetLineState(state));
  LineState read;
  EXPECT_TRUE(handle->GetLineState(read));
  EXPECT_EQ(read, state);
  EXPECT_EQ(port.LineStatesSet().size(), 2u);
}

}  // namespace
}  // namespace dravik
