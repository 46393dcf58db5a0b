#include "downloader/link/download_connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/link/result_codes.h"
#include "downloader/link/testing/link_rig.h"

namespace dravik {
namespace {

using ConnectionRig = LinkRig<DownloadConnection>;

// The identification reply in the layout its version calls for.
Bytes IdentifyReply(uint8_t type, uint8_t version) {
  Bytes data(version < 2 ? 11 : 13, 0x00);
  data[0] = type;
  data[1] = version;
  return ReplyBytes(0x12, 0, data);
}

int CountSteps(const RecorderWindow& window) {
  int steps = 0;
  for (const WindowEvent& e : window.Events()) {
    if (e.kind == WindowEvent::Kind::Progress && e.controlId == IDC_OVERALL_BAR &&
        e.message == PBM_STEPIT) {
      ++steps;
    }
  }
  return steps;
}

struct Setting {
  uint32_t baud;
  uint8_t parity;
  bool operator==(const Setting&) const = default;
};

std::vector<Setting> SettingsPut(const ScriptedPort& port) {
  std::vector<Setting> put;
  for (const LineState& s : port.LineStatesSet()) {
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.StopBits, 0);
    EXPECT_TRUE(s.fParity);
    put.push_back({s.BaudRate, s.Parity});
  }
  return put;
}

TEST(Connect, SearchesTheOtherSettingsInOrderAndKeepsTheOneThatAnswers) {
  ConnectionRig rig;  // 19200 bit/s, odd parity; the panel sits at 115200 even
  rig.link.m_nPackageModel = 0x05;
  rig.port.Expect(RequestBytes(0x12)).Times(8);
  rig.port.Expect(RequestBytes(0x12)).Reply(IdentifyReply(0x05, 12));

  EXPECT_EQ(rig.link.Connect(), 1);

  const std::vector<Setting> expected = {
      {19200, 1}, {9600, 0},   {9600, 1},   {9600, 2},   {19200, 0},
      {19200, 2}, {115200, 0}, {115200, 1}, {115200, 2}, {115200, 2},  // the transfer's
  };
  EXPECT_EQ(SettingsPut(rig.port), expected);
  EXPECT_EQ(CountSteps(rig.window), 9);
  EXPECT_EQ(rig.link.m_env.BaudRate, 115200u);
  EXPECT_EQ(rig.link.m_env.Parity, 2);
  EXPECT_EQ(rig.link.m_env.RetryCount, 3);
  EXPECT_EQ(rig.link.m_env.TimeOut, 5000u);
  EXPECT_EQ(rig.link.m_nMachineType, 0x05);
  // Probing reads with 1000 ms; the transfer's port with the normal TimeOut.
  ASSERT_EQ(rig.port.TimeoutsSet().size(), 2u);
  EXPECT_EQ(rig.port.TimeoutsSet()[0].ReadTotalTimeoutMultiplier, 1000u);
  EXPECT_EQ(rig.port.TimeoutsSet()[1].ReadTotalTimeoutMultiplier, 5000u);
  EXPECT_TRUE(rig.port.IsOpen());
  EXPECT_EQ(rig.port.CloseCount(), 1);
  EXPECT_TRUE(rig.window.Boxes().empty());
  EXPECT_TRUE(rig.port.Problems().empty()) << rig.port.Problems().front();
}

TEST(Connect, AnswerAtTheCurrentSettingsNeedsNoSearch) {
  ConnectionRig rig;
  rig.link.m_nPackageModel = 0x60;
  rig.port.Expect(RequestBytes(0x12)).Reply(IdentifyReply(0x63, 1));
  EXPECT_EQ(rig.link.Connect(), 0);  // series 6 needs the exact code
  EXPECT_EQ(rig.window.BoxTexts(),
            std::vector<std::string>{"Format of the selected file is not for this machine."});
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.port.OpenedNames().size(), 1u);

  ConnectionRig good;
  good.link.m_nPackageModel = 0x63;
  good.port.Expect(RequestBytes(0x12)).Reply(IdentifyReply(0x63, 1));
  EXPECT_EQ(good.link.Connect(), 1);
  EXPECT_EQ(CountSteps(good.window), 1);
  EXPECT_EQ(SettingsPut(good.port), (std::vector<Setting>{{19200, 1}, {19200, 1}}));
  EXPECT_EQ(good.port.OpenedNames(), (std::vector<std::string>{"\\\\.\\COM3", "\\\\.\\COM3"}));
}

TEST(Connect, PanelThatNeverAnswersIsReportedSilently) {
  ConnectionRig rig;
  rig.link.m_nPackageModel = 0x05;
  rig.port.Expect(RequestBytes(0x12)).Times(ScriptStep::kForever);

  EXPECT_EQ(rig.link.Connect(), RESULT_TIMEOUT);
  EXPECT_EQ(rig.port.RequestCount(), 9u);
  EXPECT_EQ(CountSteps(rig.window), 9);
  // Each identification waits one to two read time-outs of a second.
  EXPECT_GE(rig.Elapsed(), 9u * 1000);
  EXPECT_LE(rig.Elapsed(), 9u * 2000);
  EXPECT_TRUE(rig.window.Boxes().empty());
  EXPECT_EQ(rig.link.m_strError, "Cannot communicate with VQ.");
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.link.m_env, DownloadSettings());  // nothing searched is kept
}

TEST(Connect, PortFailuresShowTheirMessageAndRestoreTheLimits) {
  struct Case {
    const char* name;
    bool failOpen;
    std::string box;
  };
  for (const Case& c : {Case{"open", true, "Selected COM port cannot be opened."},
                        Case{"settings", false, "Setting of communication device is failed"}}) {
    SCOPED_TRACE(c.name);
    ConnectionRig rig;
    if (c.failOpen) {
      rig.port.FailOpen(PortError::InUse);
    } else {
      rig.port.RefuseLineState(true);
    }
    EXPECT_EQ(rig.link.Connect(), RESULT_PORT_FAILED);
    EXPECT_EQ(rig.window.BoxTexts(), std::vector<std::string>{c.box});
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.link.m_env, DownloadSettings());
    EXPECT_EQ(CountSteps(rig.window), 0);
  }
}

TEST(Connect, ReopenForTheTransferCanFailToo) {
  ConnectionRig rig;
  rig.link.m_nPackageModel = 0x05;
  rig.port.Expect(RequestBytes(0x12)).Reply(IdentifyReply(0x05, 12));
  rig.window.OnPump([&](int) { rig.port.FailOpen(PortError::InUse); });
  EXPECT_EQ(rig.link.Connect(), RESULT_PORT_FAILED);
  EXPECT_EQ(rig.window.BoxTexts(), std::vector<std::string>{"Selected COM port cannot be opened."});
  EXPECT_EQ(rig.link.m_env, DownloadSettings());
}

TEST(Connect, FailureOtherThanSilenceEndsTheSearchWithoutAFurtherMessage) {
  // A status on the first identification: the transaction shows its text once.
  ConnectionRig status;
  status.port.Expect(RequestBytes(0x12)).Reply(ReplyBytes(0x12, 0x17));
  EXPECT_EQ(status.link.Connect(), 0);
  EXPECT_EQ(status.window.BoxTexts(), std::vector<std::string>{"Full of memory"});
  EXPECT_FALSE(status.port.IsOpen());

  // A garbled answer during the search stops it where it is.
  ConnectionRig garbled;
  garbled.port.Expect(RequestBytes(0x12)).Times(2);
  Bytes bad = IdentifyReply(0x05, 12);
  bad.back() ^= 0xFF;
  garbled.port.Expect(RequestBytes(0x12)).Reply(bad);
  EXPECT_EQ(garbled.link.Connect(), 0);
  EXPECT_EQ(garbled.port.RequestCount(), 3u);
  EXPECT_EQ(garbled.link.m_env, DownloadSettings());
  EXPECT_FALSE(garbled.port.IsOpen());
}

TEST(Connect, IdentifiesAgainOnceTheCodeIsEntered) {
  ConnectionRig rig;
  rig.link.m_nPackageModel = 0x05;
  rig.port.Expect(RequestBytes(0x12)).Reply(ReplyBytes(0x12, 0x60));
  rig.port.Expect(RequestBytes(0x10, {0x01})).Reply(ReplyBytes(0x10));
  rig.port.Expect(RequestBytes(0x14, Hex("00 EE 00 00"))).Reply(ReplyBytes(0x14, 0, {0x01}));
  Bytes code(26, 0x00);  // reply bytes 8 to 33: k = 0, the code "Z" in byte 32
  code[32 - 8] = 'Z';
  rig.port.Expect(RequestBytes(0x01, Hex("00 EE 00 00 00 01"))).Reply(ReplyBytes(0x01, 0, code));
  rig.window.QueueCodePrompt({"z"});
  rig.port.Expect(RequestBytes(0x12)).Reply(IdentifyReply(0x05, 12));
  EXPECT_EQ(rig.link.Connect(), 1);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_TRUE(rig.port.Problems().empty());
  EXPECT_TRUE(rig.window.Boxes().empty());
}

TEST(SearchLineSettings, RefusedSettingEndsTheSearch) {
  ConnectionRig rig;
  ASSERT_EQ(rig.Open(), 0);
  rig.port.RefuseLineState(true);
  MachineInfo info;
  EXPECT_EQ(rig.link.SearchLineSettings(info), RESULT_PORT_FAILED);
  EXPECT_EQ(rig.window.BoxTexts(),
            std::vector<std::string>{"Setting of communication device is failed"});
  EXPECT_EQ(rig.port.LineStatesSet().size(), 1u);
}

struct TypeCase {
  uint8_t type;
  uint8_t version;
  uint8_t package;
  MachineVerdict verdict;
  uint8_t machineType;  // on acceptance
};

constexpr TypeCase kTypeCases[] = {
    {0x05, 12, 0x05, MachineVerdict::Accepted, 0x05},
    {0x05, 11, 0x05, MachineVerdict::WrongVersion, 0},
    {0x11, 16, 0x11, MachineVerdict::WrongVersion, 0},
    {0x11, 17, 0x11, MachineVerdict::Accepted, 0x11},
    {0x04, 12, 0x00, MachineVerdict::Accepted, 0x00},  // differ only in bit 2
    {0x8C, 12, 0x00, MachineVerdict::Accepted, 0x00},  // bits 2, 3 and 7
    {0x05, 12, 0x15, MachineVerdict::WrongFormat, 0},  // bit 4 differs
    {0x14, 17, 0x10, MachineVerdict::WrongFormat, 0},  // series 1 needs the exact code
    {0x63, 0, 0x63, MachineVerdict::Accepted, 0x63},
    {0x63, 0, 0x60, MachineVerdict::WrongFormat, 0},
    {0x24, 0, 0xA0, MachineVerdict::Accepted, 0xA0},  // series 2: family, no minimum
    {0x3C, 0, 0x30, MachineVerdict::Accepted, 0x30},
    {0x7F, 0, 0x7F, MachineVerdict::Accepted, 0x7F},
    {0x8A, 0, 0x0A, MachineVerdict::Accepted, 0x0A},
    {0x0A, 0, 0x8A, MachineVerdict::Accepted, 0x0A},
    {0x82, 0, 0x02, MachineVerdict::Accepted, 0x02},
    {0x02, 0, 0x0A, MachineVerdict::WrongFormat, 0},
    {0x81, 0, 0x01, MachineVerdict::Accepted, 0x01},
    {0x01, 0, 0x05, MachineVerdict::WrongFormat, 0},
    {0x95, 0, 0x95, MachineVerdict::WrongVersion, 0},  // family by equality, no series
    {0xE0, 99, 0xE0, MachineVerdict::WrongVersion, 0},
};

TEST(CheckMachineType, FamilyAndVersionRules) {
  for (const TypeCase& c : kTypeCases) {
    SCOPED_TRACE(testing::Message() << std::hex << "T " << int{c.type} << " V " << std::dec
                                    << int{c.version} << std::hex << " P " << int{c.package});
    ConnectionRig rig;
    rig.link.m_nPackageModel = c.package;
    rig.link.m_nMachineType = 0x77;  // from an earlier connection
    const bool accepted = rig.link.CheckMachineType({c.type, c.version});
    EXPECT_EQ(accepted, c.verdict == MachineVerdict::Accepted);
    EXPECT_EQ(DecideMachineType({c.type, c.version}, c.package).verdict, c.verdict);
    std::vector<BoxRecord> boxes;
    const auto box = [](const char* text) {
      return BoxRecord{text, BoxButtons::Ok, BoxIcon::Exclamation};
    };
    if (c.verdict == MachineVerdict::WrongVersion) {
      boxes.push_back(box("Can not send file to currently connected machine type."));
    }
    if (c.verdict != MachineVerdict::Accepted) {
      boxes.push_back(box("Format of the selected file is not for this machine."));
    }
    EXPECT_EQ(rig.window.Boxes(), boxes);
    EXPECT_EQ(rig.link.m_nMachineType, accepted ? c.machineType : 0x77);
  }
}

}  // namespace
}  // namespace dravik
