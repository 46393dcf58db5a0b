#include <gtest/gtest.h>

#include "downloader/link/command_table.h"
#include "downloader/link/download_link.h"
#include "downloader/link/result_codes.h"
#include "downloader/link/testing/link_rig.h"

namespace dravik {
namespace {

constexpr uint32_t kPortTimeoutMs = 5000;  // TimeOut at OpenPort

struct PrepareCase {
  uint8_t type;
  uint32_t timeOut;
};

constexpr PrepareCase kPrepareCases[] = {
    {0x05, 20000},  {0x80, 20000},  {0x37, 120000}, {0x33, 60000},  {0x30, 30000},
    {0x10, 30000},  {0x11, 60000},  {0x14, 60000},  {0x15, 120000}, {0x4C, 60000},
    {0xBF, 120000}, {0x24, 120000}, {0x50, 120000}, {0x60, 120000}, {0x7F, 120000},
    {0x0A, 120000}, {0x01, 0},      {0x81, 0},      {0x95, 0},      {kMachineTypeUnknown, 0},
};

// The reply may come as late as the type's limit allows (for limit 0, within the
// port's own read time-out); one read time-out past that it is too late. Either way
// the 2000 ms pause follows and TimeOut is back afterwards.
TEST(PrepareTextBlock, WaitsForItsReplyAsLongAsTheMachineTypeNeeds) {
  for (const PrepareCase& c : kPrepareCases) {
    SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << int{c.type});
    EXPECT_EQ(PrepareTextBlockTimeOut(c.type), c.timeOut);
    const uint32_t inTime = c.timeOut > 0 ? c.timeOut : kPortTimeoutMs - 1;
    const uint32_t tooLate = (c.timeOut / kPortTimeoutMs + 1) * kPortTimeoutMs + 1;
    for (const uint32_t delay : {inTime, tooLate}) {
      LinkRig<> rig;
      rig.link.m_nMachineType = c.type;
      rig.link.m_env.RetryCount = 0;
      ASSERT_EQ(rig.Open(), 0);
      rig.port.Expect(RequestBytes(0x09)).Then(delay, ReplyBytes(0x09));
      const int result = rig.link.PrepareTextBlock();
      EXPECT_EQ(result, delay == inTime ? 0 : RESULT_TIMEOUT) << "delay " << delay;
      const uint64_t waited = delay == inTime ? delay : tooLate - 1;
      EXPECT_EQ(rig.Elapsed(), waited + kPrepareTextBlockPauseMs) << "delay " << delay;
      EXPECT_EQ(rig.link.m_env.TimeOut, 5000u);
    }
  }
}

TEST(RequestRestartAndWait, PausesByRestartGroupAfterSuccessAndFailure) {
  struct Case {
    uint8_t type;
    uint64_t pauseMs;
  };
  for (const Case& c : {Case{0x60, 7000}, Case{0x24, 7000}, Case{0x70, 7000}, Case{0x8A, 7000},
                        Case{0x10, 4000}, Case{0x05, 4000}, Case{kMachineTypeUnknown, 4000}}) {
    SCOPED_TRACE(int{c.type});
    LinkRig<> rig;
    rig.link.m_nMachineType = c.type;
    rig.link.m_env.RetryCount = 0;
    ASSERT_EQ(rig.Open(), 0);
    rig.port.Expect(RequestBytes(0x20)).Reply(ReplyBytes(0x20));
    rig.port.Expect(RequestBytes(0x20));  // then silence

    uint32_t status = 0x77;
    EXPECT_EQ(rig.link.RequestRestartAndWait(status), 0);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(rig.Elapsed(), c.pauseMs);
    EXPECT_EQ(rig.link.RequestRestartAndWait(status), RESULT_TIMEOUT);
    EXPECT_EQ(rig.Elapsed(), c.pauseMs + 2 * kPortTimeoutMs + c.pauseMs);
  }
}

TEST(RequestRestartAndWait, LeavesTheStatusForTheCaller) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  rig.port.Expect(RequestBytes(0x20)).Reply(ReplyBytes(0x20, 0x30));
  uint32_t status = 0;
  EXPECT_EQ(rig.link.RequestRestartAndWait(status), RESULT_PANEL_STATUS);
  EXPECT_EQ(status, 0x30u);
  EXPECT_EQ(rig.window.BoxTexts(), std::vector<std::string>{"Update request of firmware from VQ."});
}

TEST(Identify, ReadsTypeAndVersionFromBothLayouts) {
  struct Case {
    const char* name;
    Bytes data;
    int result;
    MachineInfo info;
  };
  const MachineInfo untouched{0xEE, 0xEE};
  const Case cases[] = {
      {"version 1, 20 bytes", Hex("24 01 00 01 00 02 03 00 04 05 06"), 0, {0x24, 0x01}},
      {"version 2, 22 bytes", Hex("05 0C 00 00 00 01 00 02 03 00 04 05 06"), 0, {0x05, 0x0C}},
      {"no data: nothing to read", {}, RESULT_BAD_REPLY, untouched},
      {"type without version", Hex("05"), RESULT_BAD_REPLY, untouched},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRig<> rig;
    ASSERT_EQ(rig.Open(), 0);
    rig.port.Expect(RequestBytes(0x12)).Reply(ReplyBytes(0x12, 0, c.data));
    MachineInfo info = untouched;
    EXPECT_EQ(rig.link.Identify(info), c.result);
    EXPECT_EQ(info, c.info);
    EXPECT_TRUE(rig.window.Boxes().empty());
  }
}

TEST(Identify, AReplyLongerThanItsBufferIsRetried) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  rig.port.Expect(RequestBytes(0x12)).Reply(ReplyBytes(0x12, 0, Bytes(14, 0x05)));  // 23 bytes
  rig.port.Expect(RequestBytes(0x12)).Reply(ReplyBytes(0x12, 0, Bytes(13, 0x05)));
  MachineInfo info;
  EXPECT_EQ(rig.link.Identify(info), 0);
  EXPECT_EQ(info, (MachineInfo{0x05, 0x05}));
  EXPECT_EQ(rig.port.RequestCount(), 2u);
}

}  // namespace
}  // namespace dravik
