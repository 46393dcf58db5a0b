#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "downloader/link/download_link.h"
#include "downloader/link/panel_code.h"
#include "downloader/link/result_codes.h"
#include "downloader/link/testing/link_rig.h"
#include "downloader/resources/string_table.h"

namespace dravik {
namespace {

const Bytes kUpdateMode = RequestBytes(0x63);
const Bytes kUnlockOn = RequestBytes(0x10, Hex("01"));
const Bytes kUnlockOff = RequestBytes(0x10, Hex("00"));
const Bytes kQuery = RequestBytes(0x14, Hex("00 EE 00 00"));
const Bytes kReadCode = RequestBytes(0x01, Hex("00 EE 00 00 00 01"));
const Bytes kRestart = RequestBytes(0x20);

// The data of a code reply: byte 24 of the frame is k, bytes 25 to 32 the code
// characters raised by k, last character first; padding zeros become k.
Bytes CodeReplyData(const std::string& code, uint8_t k) {
  Bytes data(25, 0x33);
  data[24 - 8] = k;
  for (size_t j = 0; j < 8; ++j) {
    const uint8_t c = j < code.size() ? static_cast<uint8_t>(code[j]) : 0;
    data[32 - 8 - j] = static_cast<uint8_t>(c + k);
  }
  return data;
}

void LockedPanel(ScriptedPort& port) {
  port.Expect(kUpdateMode).Reply(ReplyBytes(0x63, 0x60));
  port.Expect(kUnlockOn).Reply(ReplyBytes(0x10));
}

void PanelWithCode(ScriptedPort& port) {
  LockedPanel(port);
  port.Expect(kQuery).Reply(ReplyBytes(0x14, 0, Hex("01")));
  port.Expect(kReadCode).Reply(ReplyBytes(0x01, 0, CodeReplyData("AB12", 0x10)));
}

void Declined(ScriptedPort& port) {
  port.Expect(kUnlockOff).Reply(ReplyBytes(0x10));
  port.Expect(kRestart).Reply(ReplyBytes(0x20));
}

struct UnlockCase {
  const char* name;
  std::function<void(ScriptedPort&)> panel;
  std::optional<std::vector<std::string>> entries;  // none: no prompt may open
  int result;
  std::vector<std::string> boxes;
};

const std::string kWrongCode(LoadStringView(IDS_WRONG_CODE));
const std::string kBadCharacter(LoadStringView(IDS_CODE_BAD_CHARACTER));
const std::string kTooLong(LoadStringView(IDS_CODE_TOO_LONG));

const UnlockCase kUnlockCases[] = {
    {"no code set: the command counts as done",
     [](ScriptedPort& p) {
       LockedPanel(p);
       p.Expect(kQuery).Reply(ReplyBytes(0x14, 0, Hex("00")));
     },
     std::nullopt,
     0,
     {}},
    {"the code entered in lower case",
     PanelWithCode,
     std::vector<std::string>{"ab12"},
     RESULT_UNLOCKED,
     {}},
    {"a wrong code, a hyphen, nine characters, then the code",
     PanelWithCode,
     std::vector<std::string>{"AB13", "ab-1", "ABCDEFGHI", "Ab12"},
     RESULT_UNLOCKED,
     {kWrongCode, kBadCharacter, kTooLong}},
    {"the prompt cancelled",
     [](ScriptedPort& p) {
       PanelWithCode(p);
       Declined(p);
     },
     std::vector<std::string>{},
     RESULT_CANCELLED,
     {}},
    {"a wrong code, then cancelled",
     [](ScriptedPort& p) {
       PanelWithCode(p);
       Declined(p);
     },
     std::vector<std::string>{"XY12"},
     RESULT_CANCELLED,
     {kWrongCode}},
    {"the query times out: unlock mode off again",
     [](ScriptedPort& p) {
       LockedPanel(p);
       p.Expect(kQuery).Times(4);
       p.Expect(kUnlockOff).Reply(ReplyBytes(0x10));
     },
     std::nullopt,
     RESULT_TIMEOUT,
     {}},
    {"the code request refused",
     [](ScriptedPort& p) {
       LockedPanel(p);
       p.Expect(kQuery).Reply(ReplyBytes(0x14, 0, Hex("01")));
       p.Expect(kReadCode).Reply(ReplyBytes(0x01, 0x17));
       p.Expect(kUnlockOff).Reply(ReplyBytes(0x10));
     },
     std::nullopt,
     RESULT_PANEL_STATUS,
     {"Full of memory"}},
    {"a code reply too short to hold the code",
     [](ScriptedPort& p) {
       LockedPanel(p);
       p.Expect(kQuery).Reply(ReplyBytes(0x14, 0, Hex("01")));
       p.Expect(kReadCode).Reply(ReplyBytes(0x01, 0, Bytes(24, 0x00)));
       p.Expect(kUnlockOff).Reply(ReplyBytes(0x10));
     },
     std::nullopt,
     RESULT_BAD_REPLY,
     {}},
    {"unlock mode refused: nothing more is sent",
     [](ScriptedPort& p) {
       p.Expect(kUpdateMode).Reply(ReplyBytes(0x63, 0x60));
       p.Expect(kUnlockOn).Reply(ReplyBytes(0x10, 0x20));
     },
     std::nullopt,
     RESULT_PANEL_STATUS,
     {"Writing Error of Flash ROM"}},
    {"asked for the code again while unlocking",
     [](ScriptedPort& p) {
       p.Expect(kUpdateMode).Reply(ReplyBytes(0x63, 0x60));
       p.Expect(kUnlockOn).Reply(ReplyBytes(0x10, 0x60));
     },
     std::nullopt,
     RESULT_PANEL_STATUS,
     {"Communication Error"}},
};

TEST(UnlockPanel, RunsTheUnlockStepAgainstALockedPanel) {
  for (const UnlockCase& c : kUnlockCases) {
    SCOPED_TRACE(c.name);
    LinkRig<> rig;
    rig.link.m_nMachineType = 0x24;
    ASSERT_EQ(rig.Open(), 0);
    c.panel(rig.port);
    if (c.entries) rig.window.QueueCodePrompt(*c.entries);

    EXPECT_EQ(rig.link.EnterUpdateMode(), c.result);
    EXPECT_EQ(rig.window.BoxTexts(), c.boxes);
    for (const BoxRecord& box : rig.window.Boxes()) {
      EXPECT_EQ(box.buttons, BoxButtons::Ok);
      EXPECT_EQ(box.icon, BoxIcon::Exclamation);
    }
    int prompts = 0;
    for (const WindowEvent& e : rig.window.Events()) {
      if (e.kind != WindowEvent::Kind::CodePrompt) continue;
      ++prompts;
      EXPECT_EQ(e.machineType, 0x24);
    }
    EXPECT_EQ(prompts, c.entries ? 1 : 0);
    EXPECT_TRUE(rig.port.ScriptDone());
    EXPECT_TRUE(rig.port.Problems().empty()) << rig.port.Problems().front();
  }
}

TEST(UnlockPanel, AfterTheCodeTheCallerSendsItsCommandAgain) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  PanelWithCode(rig.port);
  rig.port.Expect(kUpdateMode).Reply(ReplyBytes(0x63));
  rig.window.QueueCodePrompt({"ab12"});

  EXPECT_EQ(rig.link.EnterUpdateMode(), RESULT_UNLOCKED);
  EXPECT_EQ(rig.link.EnterUpdateMode(), 0);
  EXPECT_TRUE(rig.port.ScriptDone());  // and unlock mode was never switched off
}

struct EntryCase {
  const char* entry;
  const char* code;  // up to 8 characters, zero-padded
  uint16_t result;
};

constexpr EntryCase kEntryCases[] = {
    {"AB12", "AB12", 0},
    {"ab12", "AB12", 0},
    {"zx90yw8q", "ZX90YW8Q", 0},
    {"", "", 0},
    {"", "AB12", IDS_WRONG_CODE},
    {"AB1", "AB12", IDS_WRONG_CODE},
    {"AB12 ", "AB12", IDS_CODE_BAD_CHARACTER},
    {"ab-1", "AB12", IDS_CODE_BAD_CHARACTER},
    {"\xC3\x84"
     "B12",
     "AB12", IDS_CODE_BAD_CHARACTER},
    {"ABCDEFGHI", "ABCDEFGH", IDS_CODE_TOO_LONG},
    // Characters are checked before the length.
    {"ABCDEFGH!", "ABCDEFGH", IDS_CODE_BAD_CHARACTER},
};

PanelCode CodeOf(const char* text) {
  PanelCode code{};
  for (size_t i = 0; text[i] != '\0' && i < code.size(); ++i) {
    code[i] = static_cast<uint8_t>(text[i]);
  }
  return code;
}

TEST(CodePrompt, ChecksTheEntryThenComparesEightBytes) {
  for (const EntryCase& c : kEntryCases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(CheckCodeEntry(c.entry, CodeOf(c.code)), c.result);
  }
}

TEST(CodePrompt, OkShowsTheReasonAndStaysOpen) {
  LinkRig<> rig;
  EXPECT_FALSE(rig.link.OnCodePromptOk("ab-1", CodeOf("AB12")));
  EXPECT_TRUE(rig.link.OnCodePromptOk("ab12", CodeOf("AB12")));
  EXPECT_EQ(rig.window.Boxes(),
            (std::vector<BoxRecord>{{kBadCharacter, BoxButtons::Ok, BoxIcon::Exclamation}}));
}

TEST(DecodePanelCode, UndoesTheOffsetLastCharacterFirst) {
  Bytes reply(kMinReplyLength - 1, 0x00);
  const Bytes data = CodeReplyData("AB12", 0x10);
  reply.insert(reply.end(), data.begin(), data.end());
  EXPECT_EQ(DecodePanelCode(reply.data()), CodeOf("AB12"));

  // Code bytes below k wrap: a code no entry of 0-9 and A-Z can match.
  reply[24] = 0x50;
  const PanelCode wrapped = DecodePanelCode(reply.data());
  EXPECT_EQ(wrapped[0], static_cast<uint8_t>('A' + 0x10 - 0x50));
  EXPECT_EQ(wrapped[7], static_cast<uint8_t>(0x10 - 0x50));
}

}  // namespace
}  // namespace dravik
