#include "tools/dvx/text_faults.h"

#include <gtest/gtest.h>

#include <string_view>

namespace dvx {
namespace {

using dravik::TextBlockKind;

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

constexpr std::string_view kGood = "S00600004844521B";

TEST(FindTextFaults, WhereAndWhat) {
  struct Case {
    const char* name;
    TextBlockKind kind;
    std::string_view text;
    std::vector<std::pair<TextFault::Kind, size_t>> faults;
  };
  using std::string_view_literals::operator""sv;
  const Case cases[] = {
      {"Clean", TextBlockKind::Block1, "S00600004844521B\r\n\r\nS00600004844521B", {}},
      {"BadChecksumOnSecondRecord",
       TextBlockKind::Block1,
       "S00600004844521B\r\nS00600004844521C\r\n",
       {{TextFault::Record, 18}}},
      {"EmptyLineInBlock2",
       TextBlockKind::Block2,
       "S00600004844521B\r\n\r\n*****",
       {{TextFault::Record, 18}}},
      {"AfterTheMarkerIsNotLooked", TextBlockKind::Block2, "S00600004844521B\n*****\nbad", {}},
      {"NoRecords", TextBlockKind::Block2, "; only a comment\n*****", {{TextFault::NoRecords, 0}}},
      {"TextAfterAZeroByte",
       TextBlockKind::Block1,
       "S00600004844521B\n\0S00600004844521B"sv,
       {{TextFault::ZeroByte, 17}}},
      {"TrailingZerosAreHarmless", TextBlockKind::Block1, "S00600004844521B\n\0\0"sv, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<TextFault::Kind, size_t>> found;
    for (const TextFault& fault : FindTextFaults(Bytes(c.text), c.kind)) {
      found.emplace_back(fault.kind, fault.offset);
    }
    EXPECT_EQ(found, c.faults);
  }
}

TEST(FindTextFaults, ReasonsNameTheProblem) {
  auto reason = [](std::string_view text, TextBlockKind kind) {
    std::vector<TextFault> faults = FindTextFaults(Bytes(text), kind);
    return faults.empty() ? std::string() : faults.front().reason;
  };
  EXPECT_EQ(reason("S00600004844521C", TextBlockKind::Block1),
            "checksum should be 1B, the record says 1C");
  EXPECT_EQ(reason("S006 0004844521B", TextBlockKind::Block1),
            "character 0x20 at column 5 is not a hexadecimal digit");
  EXPECT_EQ(reason("S1123", TextBlockKind::Block1),
            "record of 5 characters; a record has at least 12");
  EXPECT_TRUE(
      reason("S00600004844521B\r\n\r\n*****", TextBlockKind::Block2).starts_with("empty line"));
}

TEST(EditorLine, CountsLinesAsAnEditorDoes) {
  struct Case {
    std::string_view text;
    size_t offset;
    size_t line;
  };
  const Case cases[] = {
      {"abc", 2, 1},  {"a\nb", 2, 2},     {"a\r\nb", 3, 2}, {"a\n\nb", 3, 3},
      {"a\rb", 2, 2}, {"a\n\r\nb", 4, 3}, {"a\nb", 99, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(EditorLine(Bytes(c.text), c.offset), c.line) << c.text;
}

}  // namespace
}  // namespace dvx
