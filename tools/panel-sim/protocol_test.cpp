// Frames, text records and reply data: the panel's pure encodings.
#include "tools/panel-sim/protocol.h"

#include <gtest/gtest.h>

#include "tools/panel-sim/frame.h"
#include "tools/panel-sim/reply_data.h"
#include "tools/panel-sim/text_record.h"

namespace panelsim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Frame, RequestsMatchTheHostsFrames) {
  struct Case {
    uint8_t command;
    uint16_t number;
    Bytes data;
    Bytes frame;
  };
  const Case cases[] = {
      {0x12, 1, {}, {0x7E, 0x01, 0x00, 0x03, 0x12, 0x00, 0x01, 0x6F}},
      {0x63, 1, {}, {0x7E, 0x01, 0x00, 0x03, 0x63, 0x00, 0x01, 0x1E}},
      {0x14,
       1,
       {0x00, 0xEE, 0x00, 0x00},
       {0x7E, 0x01, 0x00, 0x07, 0x14, 0x00, 0x01, 0x00, 0xEE, 0x00, 0x00, 0x83}},
      {0x00,
       1,
       {0x00, 0x01, 0xAA, 0xBB, 0xCC},
       {0x7E, 0x01, 0x00, 0x08, 0x00, 0x00, 0x01, 0x00, 0x01, 0xAA, 0xBB, 0xCC, 0xAA}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildRequest(c.command, c.number, c.data), c.frame);
    const Request request = ReadRequest(c.frame);
    EXPECT_EQ(request.command, c.command);
    EXPECT_EQ(request.number, c.number);
    EXPECT_EQ(Bytes(request.data.begin(), request.data.end()), c.data);
    EXPECT_TRUE(request.bccOk);
  }
  EXPECT_EQ(BuildReply(0x20, 0, 1), (Bytes{0x7E, 0x01, 0x00, 0x04, 0x20, 0x00, 0x00, 0x01, 0x5A}));
}

TEST(TextRecord, ChecksumAndForm) {
  struct Case {
    std::string_view record;
    RecordCheck result;
  };
  const Case cases[] = {
      {"S00600004844521B", RecordCheck::Ok},
      {"s00600004844521b", RecordCheck::Malformed},
      {"S00600004844521b", RecordCheck::Ok},
      {"S00600004844521C", RecordCheck::BadChecksum},
      {"S0060000484452 1B", RecordCheck::Malformed},
      {"S00600004844521", RecordCheck::Malformed},  // odd digit count
      {"SG0600004844521B", RecordCheck::Malformed},
      {"S9FC", RecordCheck::Malformed},  // a count and a checksum at the least
      {"S9030000FC", RecordCheck::Ok},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckRecord(c.record), c.result) << c.record;
  EXPECT_TRUE(IsTerminationRecord("S705000000FA"));
  EXPECT_FALSE(IsTerminationRecord("S1070000AABBCCDDEA"));
}

TEST(ReplyData, PanelCodeIsStoredBackwardsWithTheOffset) {
  const Bytes data = PanelCodeData("WXYZ", 0x10);
  ASSERT_EQ(data.size(), 25u);  // reply bytes 8 to 32
  const auto byte = [&](int offset) { return data[size_t(offset - 8)]; };
  EXPECT_EQ(byte(24), 0x10);
  for (int offset = 25; offset <= 28; ++offset) EXPECT_EQ(byte(offset), 0x10) << "zero + k";
  EXPECT_EQ(byte(32), 'W' + 0x10);
  EXPECT_EQ(byte(29), 'Z' + 0x10);
}

TEST(Protocol, SelectorsByNameOrCode) {
  EXPECT_EQ(SelectorByName("packet"), 0x00);
  EXPECT_EQ(SelectorByName("record"), kRecordSelector);
  EXPECT_EQ(SelectorByName("0x63"), 0x63);
  EXPECT_EQ(SelectorByName("12"), 0x12);
  EXPECT_EQ(SelectorByName("0x123"), std::nullopt);
  EXPECT_EQ(SelectorByName("nope"), std::nullopt);
  EXPECT_TRUE(InRestartGroup(0x24) && InRestartGroup(0xA4) && InRestartGroup(0x8A));
  EXPECT_FALSE(InRestartGroup(0x34) || InRestartGroup(0x05) || InRestartGroup(0x01));
}

}  // namespace
}  // namespace panelsim
