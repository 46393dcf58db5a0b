#include "downloader/platform/reg_text.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

RegValue Raw(std::string name, uint32_t type, std::vector<uint8_t> data) {
  return {std::move(name), type, std::move(data)};
}

TEST(RegText, ValuesAndTheirLinesTranslateBothWays) {
  struct Case {
    RegValue value;
    std::string_view line;
  };
  const Case cases[] = {
      {RegValue::String("\\Device\\Serial0", "COM1"), R"("\\Device\\Serial0"="COM1")"},
      {RegValue::String("Say", "a \"b\" c:\\"), R"("Say"="a \"b\" c:\\")"},
      {RegValue::String("", "default"), R"(@="default")"},
      {RegValue::String("Empty", ""), R"("Empty"="")"},
      {RegValue::Dword("TransPort", 10), R"("TransPort"=dword:0000000a)"},
      {RegValue::Dword("Max", 0xFFFFFFFF), R"("Max"=dword:ffffffff)"},
      {Raw("Bin", REG_BINARY, {0x00, 0x7e, 0xff}), R"("Bin"=hex:00,7e,ff)"},
      {Raw("None", REG_BINARY, {}), R"("None"=hex:)"},
      {Raw("Multi", REG_MULTI_SZ, {'a', 0, 0}), R"("Multi"=hex(7):61,00,00)"},
      {Raw("Qword", 0xb, {1, 0, 0, 0, 0, 0, 0, 0}), R"("Qword"=hex(b):01,00,00,00,00,00,00,00)"},
      // Text that cannot stand in quotes keeps its bytes as hex(1).
      {Raw("Nl", REG_SZ, {'a', '\n', 0}), R"("Nl"=hex(1):61,0a,00)"},
      {Raw("NoNul", REG_SZ, {'a'}), R"("NoNul"=hex(1):61)"},
      {Raw("ShortDword", REG_DWORD, {1, 2}), R"("ShortDword"=hex(4):01,02)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatRegValue(c.value), c.line);
    EXPECT_EQ(ParseRegValue(c.line), c.value) << c.line;
  }
}

TEST(RegText, ReadsLooserSpellings) {
  struct Case {
    std::string_view line;
    RegValue value;
  };
  const Case cases[] = {
      {R"("A"=DWORD:A)", RegValue::Dword("A", 10)},
      {R"(  "A" = "x"  )", RegValue::String("A", "x")},
      {R"("A"=HEX:0A, ff,\  01)", Raw("A", REG_BINARY, {0x0a, 0xff, 0x01})},
      {R"("A"=hex(2):41,00)", Raw("A", REG_EXPAND_SZ, {0x41, 0x00})},
      {R"(""="empty name is the default")", RegValue::String("", "empty name is the default")},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseRegValue(c.line), c.value) << c.line;
}

TEST(RegText, RefusesLinesItDoesNotKnow) {
  const std::string_view lines[] = {
      R"("A"=-)",
      R"("A"="unterminated)",
      R"("A"="bad \n escape")",
      R"("A"="x" junk)",
      R"("A"=dword:123456789)",
      R"("A"=dword:)",
      R"("A"=dword:xyz)",
      R"("A"=hex:1,2,345)",
      R"("A"=hex(z):00)",
      R"("A"=hex(1:00)",
      R"("A"=str:"x")",
      R"(A="x")",
      R"("A")",
      R"("A"=)",
      "",
  };
  for (const std::string_view line : lines) EXPECT_EQ(ParseRegValue(line), std::nullopt) << line;
}

}  // namespace
}  // namespace dravik
