#include <gtest/gtest.h>

#include <vector>

#include "downloader/link/download_link.h"
#include "downloader/link/result_codes.h"
#include "downloader/link/testing/link_rig.h"

namespace dravik {
namespace {

TEST(OpenPort, OpensTheComNameWithQueuesAndReadTimeouts) {
  struct Case {
    uint16_t port;
    const char* name;
  };
  for (const Case& c :
       {Case{1, "\\\\.\\COM1"}, Case{12, "\\\\.\\COM12"}, Case{256, "\\\\.\\COM256"}}) {
    LinkRig<> rig;
    rig.link.m_env.PortNumber = c.port;
    rig.link.m_env.TimeOut = 1000;
    ASSERT_EQ(rig.Open(), 0);
    ASSERT_EQ(rig.port.OpenedNames().size(), 1u);
    EXPECT_EQ(rig.port.OpenedNames()[0], c.name);
    ASSERT_EQ(rig.port.QueueSizesSet().size(), 1u);
    EXPECT_EQ(rig.port.QueueSizesSet()[0], std::make_pair(4096u, 4096u));
    ASSERT_EQ(rig.port.TimeoutsSet().size(), 1u);
    const PortTimeouts& t = rig.port.TimeoutsSet()[0];
    EXPECT_EQ(t.ReadIntervalTimeout, 1000u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 1000u);
    EXPECT_EQ(
        t.ReadTotalTimeoutConstant + t.WriteTotalTimeoutMultiplier + t.WriteTotalTimeoutConstant,
        0u);
    EXPECT_TRUE(rig.port.LineStatesSet().empty());
  }
}

TEST(OpenPort, FailureLeavesNoHandle) {
  LinkRig<> rig;
  rig.port.FailOpen(PortError::InUse);
  EXPECT_EQ(rig.Open(), RESULT_PORT_FAILED);
  EXPECT_EQ(rig.link.m_hComm, nullptr);
  EXPECT_TRUE(rig.port.TimeoutsSet().empty());
}

TEST(OpenPort, ReopeningReleasesTheOldHandleFirst) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  // The device is exclusive: without the release the second open would fail.
  EXPECT_EQ(rig.Open(), 0);
  EXPECT_EQ(rig.port.CloseCount(), 1);
  EXPECT_EQ(rig.link.ClosePort(), 0);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.link.ClosePort(), 0);  // closing twice is harmless
}

TEST(ConfigurePort, SetsFourFieldsAndParityCheckingKeepsTheRest) {
  LinkRig<> rig;
  LineState device;
  device.fOutxCtsFlow = true;
  device.fOutX = true;
  device.fRtsControl = 2;
  device.XonChar = 0x21;
  device.EofChar = 0x1A;
  rig.port.SetDeviceLineState(device);
  ASSERT_EQ(rig.Open(), 0);

  EXPECT_EQ(rig.link.ConfigurePort(19200, 8, 0, 1), 0);
  LineState expected = device;
  expected.BaudRate = 19200;
  expected.ByteSize = 8;
  expected.StopBits = 0;
  expected.Parity = 1;
  expected.fParity = true;
  EXPECT_EQ(rig.port.DeviceLineState(), expected);

  // Parity checking is on even without parity; stop bits come before parity.
  EXPECT_EQ(rig.link.ConfigurePort(115200, 8, 2, 0), 0);
  EXPECT_EQ(rig.port.DeviceLineState().StopBits, 2);
  EXPECT_EQ(rig.port.DeviceLineState().Parity, 0);
  EXPECT_TRUE(rig.port.DeviceLineState().fParity);
}

TEST(ConfigurePort, FailsWhenRefusedOrNotOpen) {
  LinkRig<> rig;
  EXPECT_EQ(rig.link.ConfigurePort(19200, 8, 0, 1), RESULT_PORT_FAILED);
  ASSERT_EQ(rig.Open(), 0);
  EXPECT_EQ(rig.link.ConfigurePort(-9600, 8, 0, 1), RESULT_PORT_FAILED);
  rig.port.RefuseLineState(true);
  EXPECT_EQ(rig.link.ConfigurePort(19200, 8, 0, 1), RESULT_PORT_FAILED);
}

const Bytes kFourteen = Hex("7E 01 00 0A 00 00 03 11 22 33 44 55 66 11");

struct WriteCase {
  const char* name;
  std::vector<WriteLimit> plan;
  WriteLimit thereafter;
  int result;
  uint64_t minElapsed;
  uint64_t maxElapsed;
};

// TimeOut 5000. A limit of {n, ms}: the write call takes n bytes after ms.
const WriteCase kWriteCases[] = {
    {"all at once", {}, {}, 0, 0, 0},
    {"10 bytes, then the other 4", {{10, 0}, {4, 0}}, {}, 0, 0, 0},
    // 4000 ms for the first part, 3000 ms of nothing: 7000 ms in all, but never
    // more than 5000 ms without progress, because the first part restarted the limit.
    {"the limit restarts after a part", {{10, 4000}, {0, 3000}}, {4, 0}, 0, 7000, 7001},
    {"0 bytes forever", {}, {0, 100}, RESULT_TIMEOUT, 5001, 5200},
    {"0 bytes forever, at no cost", {}, {0, 0}, RESULT_TIMEOUT, 5001, 5002},
};

TEST(WriteBytes, WritesTheRestUntilDoneOrStalledTooLong) {
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.name);
    LinkRig<> rig;
    ASSERT_EQ(rig.Open(), 0);
    rig.port.Expect(kFourteen);
    rig.port.SetWritePlan(c.plan, c.thereafter);
    EXPECT_EQ(rig.link.WriteBytes(kFourteen.data(), 14), c.result);
    EXPECT_GE(rig.Elapsed(), c.minElapsed);
    EXPECT_LE(rig.Elapsed(), c.maxElapsed);
    if (c.result == 0) {
      EXPECT_EQ(rig.port.Written(), kFourteen);
    }
    EXPECT_TRUE(rig.port.Problems().empty());
  }
}

TEST(WriteBytes, PortFailuresAndNonsense) {
  LinkRig<> rig;
  EXPECT_EQ(rig.link.WriteBytes(kFourteen.data(), 14), RESULT_WRITE_FAILED);  // not open
  ASSERT_EQ(rig.Open(), 0);
  rig.port.FailNextWrite();
  EXPECT_EQ(rig.link.WriteBytes(kFourteen.data(), 14), RESULT_WRITE_FAILED);
  EXPECT_EQ(rig.link.WriteBytes(kFourteen.data(), -1), RESULT_WRITE_FAILED);
  EXPECT_EQ(rig.link.WriteBytes(kFourteen.data(), 0), 0);
  EXPECT_TRUE(rig.port.Written().empty());
}

const Bytes kReply = Hex("7E 01 00 04 20 00 00 01 5A");
const Bytes kOtherReply = Hex("7E 01 00 04 62 00 00 01 18");

struct ReadCase {
  const char* name;
  std::vector<Chunk> input;
  int16_t capacity;
  int result;
  const char* stored;   // the first bytes of the buffer afterwards
  size_t leftOver;      // bytes still waiting for the next read
  uint64_t minElapsed;  // TimeOut 5000, the port's read time-out too
  uint64_t maxElapsed;
};

const ReadCase kReadCases[] = {
    {"whole reply", {{0, kReply}}, 22, 9, "7E 01 00 04 20 00 00 01 5A", 0, 0, 0},
    {"split 3-3-3, 4 s apart",
     {{0, Hex("7E 01 00")}, {4000, Hex("04 20 00")}, {4000, Hex("00 01 5A")}},
     22,
     9,
     "7E 01 00 04 20 00 00 01 5A",
     0,
     8000,
     8000},
    {"a pause shorter than TimeOut inside the frame",
     {{0, Hex("7E 01 00 04 20")}, {4900, Hex("00 00 01 5A")}},
     22,
     9,
     "7E 01 00 04 20 00 00 01 5A",
     0,
     4900,
     4900},
    {"delayed start", {{4999, kReply}}, 22, 9, "7E 01 00 04 20 00 00 01 5A", 0, 4999, 4999},
    {"L = 0 completes after 6 bytes",
     {{0, Hex("7E 01 00 00 20 00 00 01")}},
     22,
     6,
     "7E 01 00 00 20 00",
     2,
     0,
     0},
    {"two replies back to back",
     {{0, kReply}, {0, kOtherReply}},
     22,
     9,
     "7E 01 00 04 20 00 00 01 5A",
     9,
     0,
     0},
    {"more bytes than L announces",
     {{0, Hex("7E 01 00 04 20 00 00 01 5A 5A 5A")}},
     22,
     9,
     "7E 01 00 04 20 00 00 01 5A",
     2,
     0,
     0},
    // Between one and two port time-outs after the last byte.
    {"five bytes, then silence",
     {{0, Hex("7E 01 00 04 20")}},
     22,
     RESULT_TIMEOUT,
     "7E 01 00 04 20",
     0,
     5001,
     10000},
    {"silence", {}, 22, RESULT_TIMEOUT, "", 0, 5001, 10000},
    {"the rest comes too late",
     {{0, Hex("7E 01 00 04 20")}, {10001, Hex("00 00 01 5A")}},
     22,
     RESULT_TIMEOUT,
     "7E 01 00 04 20",
     4,
     5001,
     10000},
    // L = 16 announces 21 bytes into a 10-byte buffer: storing stops at 10, the rest
    // is read and dropped, and the next reply is untouched.
    {"longer than the buffer",
     {{0, Hex("7E 01 00 10 20 00 00 01 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D")}, {0, kReply}},
     10,
     RESULT_BAD_REPLY,
     "7E 01 00 10 20 00 00 01 01 02",
     9,
     0,
     0},
};

TEST(ReadFrame, ReadsOneFrameByItsLengthField) {
  constexpr uint8_t kCanary = 0xCC;
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(c.name);
    LinkRig<> rig;
    ASSERT_EQ(rig.Open(), 0);
    for (const Chunk& chunk : c.input) rig.port.Feed(chunk.bytes, chunk.delayMs);
    std::vector<uint8_t> buffer(static_cast<size_t>(c.capacity) + 8, kCanary);
    EXPECT_EQ(rig.link.ReadFrame(buffer.data(), c.capacity), c.result);
    const Bytes stored = Hex(c.stored);
    EXPECT_EQ(ToHex(buffer.data(), stored.size()), c.stored);
    for (size_t i = static_cast<size_t>(c.capacity); i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], kCanary) << "written past the capacity at " << i;
    }
    EXPECT_EQ(rig.port.PendingInput(), c.leftOver);
    EXPECT_GE(rig.Elapsed(), c.minElapsed);
    EXPECT_LE(rig.Elapsed(), c.maxElapsed);
  }
}

TEST(ReadFrame, TheNextReadTakesWhatFollowedTheFrame) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  rig.port.Feed(Hex("7E 01 00 10 20 00 00 01 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D"));
  rig.port.Feed(kReply);
  rig.port.Feed(kOtherReply);
  uint8_t buffer[10];
  EXPECT_EQ(rig.link.ReadFrame(buffer, sizeof buffer), RESULT_BAD_REPLY);
  EXPECT_EQ(rig.link.ReadFrame(buffer, sizeof buffer), 9);
  EXPECT_EQ(ToHex(buffer, 9), ToHex(kReply));
  EXPECT_EQ(rig.link.ReadFrame(buffer, sizeof buffer), 9);
  EXPECT_EQ(ToHex(buffer, 9), ToHex(kOtherReply));
}

TEST(ReadFrame, PortFailures) {
  LinkRig<> rig;
  uint8_t buffer[22];
  EXPECT_EQ(rig.link.ReadFrame(buffer, sizeof buffer), RESULT_READ_FAILED);  // not open
  ASSERT_EQ(rig.Open(), 0);
  rig.port.Feed(kReply);
  rig.port.FailNextRead();
  EXPECT_EQ(rig.link.ReadFrame(buffer, sizeof buffer), RESULT_READ_FAILED);
}

TEST(ReadFrame, ALongerTemporaryTimeOutTakesSeveralPortTimeouts) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);  // port read time-out 5000
  rig.link.m_env.TimeOut = 12000;
  rig.port.Feed(kReply, 14000);
  uint8_t buffer[22];
  EXPECT_EQ(rig.link.ReadFrame(buffer, sizeof buffer), 9);
  rig.link.m_env.TimeOut = 12000;
  EXPECT_EQ(rig.link.ReadFrame(buffer, sizeof buffer), RESULT_TIMEOUT);
  EXPECT_EQ(rig.Elapsed(), 14000u + 15000u);
}

// The tick counter wraps after 2^32 ms. Whatever the start, a silent line and a port
// that takes nothing end after more than TimeOut and well before twice that plus a
// little: never at once, never 49 days later.
TEST(Channel, TheTickWrapNeitherEndsAWaitEarlyNorMakesItEndless) {
  constexpr uint64_t kWrap = uint64_t{1} << 32;
  for (uint64_t start : {kWrap - 1, kWrap - 3000, kWrap - 5000, kWrap - 6000, kWrap - 10000}) {
    SCOPED_TRACE(start);
    VirtualClock clock(start);
    ScriptedPort port(clock);
    RecorderWindow window;
    DownloadLink link(port, clock, window);
    link.m_env = DownloadSettings();
    ASSERT_EQ(link.OpenPort(), 0);

    uint8_t buffer[22];
    EXPECT_EQ(link.ReadFrame(buffer, sizeof buffer), RESULT_TIMEOUT);
    EXPECT_GT(clock.NowMs() - start, 5000u);
    EXPECT_LE(clock.NowMs() - start, 10000u);

    const uint64_t writeStart = clock.NowMs();
    port.Expect(kFourteen);
    port.SetWritePlan({}, {0, 100});
    EXPECT_EQ(link.WriteBytes(kFourteen.data(), 14), RESULT_TIMEOUT);
    EXPECT_GT(clock.NowMs() - writeStart, 5000u);
    EXPECT_LE(clock.NowMs() - writeStart, 5200u);
  }
}

}  // namespace
}  // namespace dravik
