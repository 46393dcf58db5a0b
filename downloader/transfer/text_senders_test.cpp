#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/link/result_codes.h"
#include "downloader/transfer/testing/engine_rig.h"

namespace dravik {
namespace {

const std::string kS0 = SRecord(0, 0x0000, {0x48, 0x44, 0x52});
const std::string kS7 = "S70500000000FA";

std::vector<std::string> DataRecords(int count, uint16_t base = 0x1000) {
  std::vector<std::string> records;
  for (int i = 0; i < count; ++i) {
    records.push_back(SRecord(1, static_cast<uint16_t>(base + 16 * i), PatternBytes(16, i)));
  }
  return records;
}

int SendBlock1(EngineRig& rig, const Bytes& block) {
  return rig.link.SendTextBlock1(block.data(), static_cast<uint32_t>(block.size()));
}

int SendBlock2(EngineRig& rig, const Bytes& block) {
  return rig.link.SendTextBlock2(block.data(), static_cast<uint32_t>(block.size()));
}

TEST(SendTextBlock1, EndRecordOfARestartGroupPackageIsNotAwaited) {
  std::vector<std::string> lines = {kS0};
  for (const std::string& r : DataRecords(2)) lines.push_back(r);
  lines.push_back(kS7);
  const Bytes block = TextBlock(lines);
  for (const uint8_t type : {uint8_t{0x60}, uint8_t{0x05}}) {
    SCOPED_TRACE(int{type});
    EngineRig rig;
    rig.Connected(type);
    for (size_t i = 0; i + 1 < lines.size(); ++i) rig.panel.Record(lines[i]);
    rig.panel.Record(kS7, type == 0x05);
    EXPECT_EQ(SendBlock1(rig, block), 0);
    EXPECT_TRUE(rig.port.ScriptDone());
    EXPECT_EQ(rig.FirstProblem(), "");
    EXPECT_EQ(rig.port.PendingInput(), 0u);
    // Four lines: the bar moves by a quarter per record.
    EXPECT_EQ(rig.TextsOf(IDC_STEP_PERCENT),
              (std::vector<std::string>{"  0%", " 25%", " 50%", " 75%", " 100%"}));
    EXPECT_TRUE(rig.window.Boxes().empty());
  }
}

TEST(SendTextBlock1, EmptyLinesAreSkippedButCounted) {
  const std::vector<std::string> records = DataRecords(3);
  // CR CR leaves an empty line between the first two records.
  const Bytes block = TextBytes(records[0] + "\r\r" + records[1] + "\n" + records[2]);
  EngineRig rig;
  rig.Connected();
  for (const std::string& r : records) rig.panel.Record(r);
  EXPECT_EQ(SendBlock1(rig, block), 0);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_EQ(rig.TextsOf(IDC_STEP_PERCENT),
            (std::vector<std::string>{"  0%", " 25%", " 50%", " 75%"}));
}

TEST(SendTextBlock1, RecordIsSentAgainOnceTheCodeIsEntered) {
  const std::vector<std::string> records = DataRecords(2);
  EngineRig rig;
  rig.Connected();
  rig.panel.Record(records[0], false).Reply(ReplyBytes(0x61, 0x60));
  rig.panel.UnlockWithCode('7');
  rig.window.QueueCodePrompt({"7"});
  for (const std::string& r : records) rig.panel.Record(r);
  EXPECT_EQ(SendBlock1(rig, TextBlock(records)), 0);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_EQ(rig.FirstProblem(), "");
  EXPECT_TRUE(rig.window.Boxes().empty());
}

TEST(SendTextBlock1, FailuresAndTheirMessages) {
  const std::vector<std::string> records = DataRecords(2);
  std::string broken = records[1];
  broken.back() = broken.back() == '0' ? '1' : '0';

  // A broken record stops the block; the records before it have gone out.
  EngineRig bad;
  bad.Connected();
  bad.panel.Record(records[0]);
  EXPECT_EQ(SendBlock1(bad, TextBlock({records[0], broken, records[1]})), RESULT_BROKEN_DATA);
  EXPECT_TRUE(bad.port.ScriptDone());
  EXPECT_EQ(bad.window.Boxes(), (std::vector<BoxRecord>{{"The programmed file of VQ is broken.",
                                                         BoxButtons::Ok, BoxIcon::Exclamation}}));

  // A record the panel refuses: the transaction's text, then the block's.
  EngineRig refused;
  refused.Connected();
  refused.panel.Record(records[0], false).Reply(ReplyBytes(0x61, 0x20));
  EXPECT_EQ(SendBlock1(refused, TextBlock(records)), RESULT_PANEL_STATUS);
  EXPECT_TRUE(refused.port.ScriptDone());
  EXPECT_EQ(refused.FirstProblem(), "");
  EXPECT_EQ(refused.window.BoxTexts(),
            (std::vector<std::string>{"Writing Error of Flash ROM", "Communication Error"}));

  // A record too long for one write is refused before anything of it goes out.
  const std::string huge = SRecord(1, 0x0000, PatternBytes(16400));
  ASSERT_TRUE(CheckTextRecord(huge));
  EngineRig overlong;
  overlong.Connected();
  overlong.panel.Record(records[0]);
  EXPECT_EQ(SendBlock1(overlong, TextBlock({records[0], huge})), RESULT_BROKEN_DATA);
  EXPECT_TRUE(overlong.port.ScriptDone());
  EXPECT_EQ(overlong.FirstProblem(), "");
  EXPECT_EQ(overlong.window.BoxTexts(),
            std::vector<std::string>{"The programmed file of VQ is broken."});

  // A panel gone silent: the time-outs are silent, the block's message is not.
  EngineRig silent;
  silent.Connected();
  silent.panel.Record(records[0], false).Times(4);
  EXPECT_EQ(SendBlock1(silent, TextBlock(records)), RESULT_TIMEOUT);
  EXPECT_TRUE(silent.port.ScriptDone());
  EXPECT_EQ(silent.window.BoxTexts(), std::vector<std::string>{"Communication Error"});
}

TEST(SendTextBlock2, StopsAtTheEndMarkerAndClosesTheTextBlock) {
  const std::vector<std::string> records = DataRecords(5);
  const Bytes block =
      TextBlock({"; comment", records[0], records[1], records[2], "*****", records[3], records[4]});
  EngineRig rig;
  rig.Connected();
  rig.panel.Command(0x09);
  rig.panel.Command(0x60);
  for (int i = 0; i < 3; ++i) rig.panel.Record(records[i]);
  rig.panel.Command(0x62);

  EXPECT_EQ(SendBlock2(rig, block), 0);
  EXPECT_TRUE(rig.port.ScriptDone());
  EXPECT_EQ(rig.FirstProblem(), "");
  EXPECT_EQ(rig.TextsOf(IDC_STEP_PERCENT),
            (std::vector<std::string>{"  0%", " 20%", " 40%", " 60%"}));
  // Preparation pause 2000 ms, then 6000 ms before the text block opens.
  ASSERT_GE(rig.port.RequestTimes().size(), 2u);
  EXPECT_EQ(rig.port.RequestTimes()[1] - rig.port.RequestTimes()[0], 8000u);
  EXPECT_TRUE(rig.window.Boxes().empty());
}

TEST(SendTextBlock2, FailuresAndTheirMessages) {
  const std::vector<std::string> records = DataRecords(2);

  // An empty line before the marker is a record, and a broken one; the text block
  // is closed all the same.
  EngineRig empty;
  empty.Connected();
  empty.panel.Command(0x09);
  empty.panel.Command(0x60);
  empty.panel.Record(records[0]);
  empty.panel.Command(0x62);
  EXPECT_EQ(SendBlock2(empty, TextBlock({records[0], "", records[1], "*****"})),
            RESULT_BROKEN_DATA);
  EXPECT_TRUE(empty.port.ScriptDone());
  EXPECT_EQ(empty.FirstProblem(), "");
  EXPECT_EQ(empty.window.BoxTexts(),
            std::vector<std::string>{"Transfered data (data.dvx) is broken"});

  // Preparation refused: nothing opened, nothing to close.
  EngineRig prepare;
  prepare.Connected();
  prepare.panel.Command(0x09, 0x17);
  EXPECT_EQ(SendBlock2(prepare, TextBlock(records)), RESULT_PANEL_STATUS);
  EXPECT_TRUE(prepare.port.ScriptDone());
  EXPECT_EQ(prepare.window.BoxTexts(),
            (std::vector<std::string>{"Full of memory", "Communication Error"}));

  // Opening refused.
  EngineRig begin;
  begin.Connected();
  begin.panel.Command(0x09);
  begin.panel.Command(0x60, 0x30);
  EXPECT_EQ(SendBlock2(begin, TextBlock(records)), RESULT_PANEL_STATUS);
  EXPECT_TRUE(begin.port.ScriptDone());
  EXPECT_EQ(
      begin.window.BoxTexts(),
      (std::vector<std::string>{"Update request of firmware from VQ.", "Communication Error"}));

  // A record refused: the text block is closed before the sender returns.
  EngineRig record;
  record.Connected();
  record.panel.Command(0x09);
  record.panel.Command(0x60);
  record.panel.Record(records[0], false).Reply(ReplyBytes(0x61, 0x42));
  record.panel.Command(0x62);
  EXPECT_EQ(SendBlock2(record, TextBlock(records)), RESULT_PANEL_STATUS);
  EXPECT_TRUE(record.port.ScriptDone());
  EXPECT_EQ(record.window.BoxTexts(),
            (std::vector<std::string>{"Communication Error", "Communication Error"}));
}

}  // namespace
}  // namespace dravik
