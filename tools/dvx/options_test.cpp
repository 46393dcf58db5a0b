#include "tools/dvx/options.h"

#include <gtest/gtest.h>

namespace dvx {
namespace {

TEST(ParseMachineType, DecimalOrHexWithinAByte) {
  const std::pair<const char*, std::optional<uint8_t>> cases[] = {
      {"5", 5},
      {"0x05", 5},
      {"0X60", 0x60},
      {"255", 255},
      {"0xff", 255},
      {"256", std::nullopt},
      {"0x100", std::nullopt},
      {"", std::nullopt},
      {"0x", std::nullopt},
      {"5a", std::nullopt},
      {"-1", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseMachineType(text), expected) << text;
}

TEST(ParseSizeList, SizesWithSuffixes) {
  EXPECT_EQ(ParseSizeList("300,2039,7000"), (std::vector<uint64_t>{300, 2039, 7000}));
  EXPECT_EQ(ParseSizeList("128K,1m"), (std::vector<uint64_t>{131072, 1048576}));
  EXPECT_EQ(ParseSizeList(""), std::vector<uint64_t>{});
  for (const char* bad : {"1,", ",1", "1,,2", "x", "1KK", "K", "99999999999999999999"}) {
    EXPECT_FALSE(ParseSizeList(bad).has_value()) << bad;
  }
}

TEST(ParseArgs, OptionsAnywhereAndTheirErrors) {
  constexpr OptionSpec specs[] = {{"model", 'm', true}, {"sources", 0, false}};
  auto parse = [&](std::vector<std::string> args, ParsedArgs& parsed, std::string& error) {
    return ParseArgs(args, specs, parsed, error);
  };
  ParsedArgs parsed;
  std::string error;
  ASSERT_TRUE(parse({"a", "-m", "5", "b", "--sources", "--", "-c"}, parsed, error));
  EXPECT_EQ(parsed.operands, (std::vector<std::string>{"a", "b", "-c"}));
  EXPECT_EQ(parsed.Value("model"), "5");
  EXPECT_TRUE(parsed.Has("sources"));

  ParsedArgs inlined;
  ASSERT_TRUE(parse({"--model=0x60", "-"}, inlined, error));
  EXPECT_EQ(inlined.Value("model"), "0x60");
  EXPECT_EQ(inlined.operands, std::vector<std::string>{"-"});

  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{"--colour"}, "unknown option --colour"},
      {{"-m"}, "option -m needs a value"},
      {{"--sources=yes"}, "option --sources takes no value"},
  };
  for (const auto& [args, message] : bad) {
    ParsedArgs ignored;
    EXPECT_FALSE(parse(args, ignored, error));
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace dvx
