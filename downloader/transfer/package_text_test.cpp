#include "downloader/transfer/package_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace dravik {
namespace {

TEST(CheckTextRecord, Cases) {
  struct Case {
    const char* line;
    TextRecordFault fault;
  };
  const Case cases[] = {
      {"S00600004844521B", TextRecordFault::None},
      {"S00600004844521b", TextRecordFault::None},
      {"S00600004844521C", TextRecordFault::BadChecksum},
      {"S1130000285F245F2212226A000424290008237C2A", TextRecordFault::None},
      {"S104000000FB", TextRecordFault::None},  // twelve characters, the shortest
      {"S1123456789", TextRecordFault::TooShort},
      {"", TextRecordFault::TooShort},
      {"s00600004844521B", TextRecordFault::NoLeadingS},
      {"X00600004844521B", TextRecordFault::NoLeadingS},
      // The type character is read but not tested.
      {"SX0600004844521B", TextRecordFault::None},
      {"S006 0004844521B", TextRecordFault::NotHexDigit},
      {"S00600004844521B ", TextRecordFault::NotHexDigit},
      {"S00600004844521G", TextRecordFault::NotHexDigit},
      {"S006000048445211B", TextRecordFault::OddDigitCount},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TextRecordCheck check = DiagnoseTextRecord(c.line);
    EXPECT_EQ(check.fault, c.fault);
    EXPECT_EQ(CheckTextRecord(c.line), c.fault == TextRecordFault::None);
  }
}

TEST(CheckTextRecord, ReportsWhereAndWhy) {
  TextRecordCheck bad = DiagnoseTextRecord("S00600004844521C");
  EXPECT_EQ(bad.computed, 0x1B);
  EXPECT_EQ(bad.stated, 0x1C);
  EXPECT_EQ(DiagnoseTextRecord("S006 0004844521B").position, 4u);
}

TEST(TextRecordType, SecondCharacterAsHexDigit) {
  EXPECT_EQ(TextRecordType("S70500000000FA"), 7);
  EXPECT_EQ(TextRecordType("S0"), 0);
  EXPECT_EQ(TextRecordType("Sa"), 10);
  EXPECT_EQ(TextRecordType("SX"), -1);
  EXPECT_EQ(TextRecordType("S"), -1);
}

using Lines = std::vector<std::pair<std::string, LineAction>>;

Lines Walk(std::string_view text, TextBlockKind kind) {
  Lines lines;
  for (const TextLine& line : SplitTextBlock(text, kind).lines) {
    lines.emplace_back(std::string(line.text), line.action);
  }
  return lines;
}

constexpr auto kSend = LineAction::Send;
constexpr auto kSkip = LineAction::Skip;
constexpr auto kEnd = LineAction::End;
constexpr auto kBlock1 = TextBlockKind::Block1;
constexpr auto kBlock2 = TextBlockKind::Block2;

TEST(SplitTextBlock, LineEnds) {
  struct Case {
    const char* name;
    std::string_view text;
    Lines lines;
  };
  const Case cases[] = {
      {"CrLf", "A\r\nB", {{"A", kSend}, {"B", kSend}}},
      {"LfLfIsOneEnd", "A\n\nB", {{"A", kSend}, {"B", kSend}}},
      {"LfCrLeavesEmptyLine", "A\n\rB", {{"A", kSend}, {"", kSkip}, {"B", kSend}}},
      {"CrCrLeavesEmptyLine", "A\r\rB", {{"A", kSend}, {"", kSkip}, {"B", kSend}}},
      {"CrLfCrLf", "A\r\n\r\nB", {{"A", kSend}, {"", kSkip}, {"B", kSend}}},
      {"FinalEndStartsNoLine", "A\r\n", {{"A", kSend}}},
      {"LoneCr", "A\rB\n", {{"A", kSend}, {"B", kSend}}},
      {"OnlyALineEnd", "\r\n", {{"", kSkip}}},
      {"Empty", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Walk(c.text, kBlock1), c.lines);
  }
}

TEST(SplitTextBlock, OffsetsAndTheZeroByte) {
  const uint8_t block[] = {'A', '\n', '\r', 'B', 'C', 0, 'D', '\n'};
  TextBlockPlan plan = SplitTextBlock(std::span<const uint8_t>(block), kBlock1);
  ASSERT_EQ(plan.lines.size(), 3u);
  EXPECT_EQ(plan.lines[0].offset, 0u);
  EXPECT_EQ(plan.lines[1].offset, 2u);
  EXPECT_EQ(plan.lines[2].offset, 3u);
  EXPECT_EQ(plan.lines[2].text, "BC");  // the text ends at the zero byte
}

TEST(SplitTextBlock, BlockRules) {
  struct Case {
    const char* name;
    TextBlockKind kind;
    std::string_view text;
    Lines lines;
  };
  const Case cases[] = {
      {"Block1SkipsEmptyKeepsComments",
       kBlock1,
       "; c\n\rS1\n*****",
       {{"; c", kSend}, {"", kSkip}, {"S1", kSend}, {"*****", kSend}}},
      {"Block2CommentsMarkerAndAfter",
       kBlock2,
       ";c\nR1\nR2\nR3\n*****\nR4\nR5",
       {{";c", kSkip}, {"R1", kSend}, {"R2", kSend}, {"R3", kSend}, {"*****", kEnd}}},
      {"Block2EmptyLineIsARecord",
       kBlock2,
       "R1\r\n\r\nR2\r\n*****",
       {{"R1", kSend}, {"", kSend}, {"R2", kSend}, {"*****", kEnd}}},
      {"Block2MarkerAnywhereInALine",
       kBlock2,
       "R1\nab*****cd\nR2",
       {{"R1", kSend}, {"ab*****cd", kEnd}}},
      {"Block2CommentWithMarkerIsSkipped",
       kBlock2,
       "; *****\nR1",
       {{"; *****", kSkip}, {"R1", kSend}}},
      {"Block2FourStarsAreNoMarker", kBlock2, "****\nR1", {{"****", kSend}, {"R1", kSend}}},
      {"Block2WithoutMarker",
       kBlock2,
       ";c\nR1\nR2\n",
       {{";c", kSkip}, {"R1", kSend}, {"R2", kSend}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Walk(c.text, c.kind), c.lines);
  }
}

// The block bar's divisor counts every line walked; the records are what is sent.
TEST(SplitTextBlock, LineCountAndRecords) {
  TextBlockPlan block2 = SplitTextBlock(";c\nR1\nR2\nR3\n*****\nR4\nR5", kBlock2);
  EXPECT_EQ(block2.LineCount(), 5u);
  EXPECT_EQ(block2.Records(), (std::vector<std::string_view>{"R1", "R2", "R3"}));

  TextBlockPlan block1 = SplitTextBlock("R1\r\n\n\rR2\rR3", kBlock1);
  EXPECT_EQ(block1.LineCount(), 5u);  // R1, two empty lines, R2, R3
  EXPECT_EQ(block1.Records(), (std::vector<std::string_view>{"R1", "R2", "R3"}));
}

}  // namespace
}  // namespace dravik
