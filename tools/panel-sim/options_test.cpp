#include "tools/panel-sim/options.h"

#include <gtest/gtest.h>

namespace panelsim {
namespace {

std::optional<Options> Parse(std::vector<std::string_view> args, std::string* error = nullptr) {
  return ParseOptions(args, error);
}

TEST(Options, DefaultsAndEveryOption) {
  const std::optional<Options> defaults = Parse({});
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->panel.machineType, 0x05);
  EXPECT_EQ(defaults->transport.line.baudRate, 9600u);
  EXPECT_EQ(defaults->transport.idleLimitMs, kDefaultIdleLimitSeconds * 1000);

  const std::optional<Options> all = Parse({"--type",
                                            "0x24",
                                            "--version=1",
                                            "--baud",
                                            "115200",
                                            "--parity",
                                            "odd",
                                            "--data-bits",
                                            "7",
                                            "--stop-bits",
                                            "1.5",
                                            "--panel-code",
                                            "AB12",
                                            "--restart-ms",
                                            "50",
                                            "--reply-delay-ms",
                                            "3",
                                            "--record",
                                            "out",
                                            "--fault",
                                            "cmd=packet,drop",
                                            "--fault",
                                            "cmd=restart,hang",
                                            "--pace",
                                            "--path-file",
                                            "p",
                                            "--exit-after-download",
                                            "--idle-exit",
                                            "0",
                                            "--verbose"});
  ASSERT_TRUE(all);
  EXPECT_EQ(all->panel.machineType, 0x24);
  EXPECT_EQ(all->panel.version, 1);
  EXPECT_EQ(all->transport.line.baudRate, 115200u);
  EXPECT_EQ(all->transport.line.parity, Parity::Odd);
  EXPECT_EQ(all->transport.line.dataBits, 7);
  EXPECT_EQ(all->transport.line.stopBits, StopBits::OneAndHalf);
  EXPECT_EQ(all->panel.panelCode, "AB12");
  EXPECT_EQ(all->panel.restartMs, 50u);
  EXPECT_EQ(all->panel.replyDelayMs, 3u);
  EXPECT_EQ(all->recordFolder, "out");
  EXPECT_FALSE(all->panel.faults.Empty());
  EXPECT_TRUE(all->transport.pace && all->transport.exitAfterDownload && all->verbose);
  EXPECT_EQ(all->pathFile, "p");
  EXPECT_EQ(all->transport.idleLimitMs, 0u);
  EXPECT_EQ(all->panel.frameGapMs, PanelConfig{}.frameGapMs);

  const std::optional<Options> slow = Parse({"--baud", "50"});
  ASSERT_TRUE(slow);
  EXPECT_GE(slow->panel.frameGapMs, 2000u) << "ten characters of 200 ms each";
}

TEST(Options, BadInputNamesTheOption) {
  struct Case {
    std::vector<std::string_view> args;
    std::string_view message;
  };
  const Case cases[] = {
      {{"--speed", "9600"}, "unknown option --speed"},
      {{"--baud"}, "--baud needs a value"},
      {{"--pace=1"}, "--pace takes no value"},
      {{"--parity", "mark"}, "bad value 'mark' for --parity"},
      {{"--type", "100"}, "bad value '100' for --type"},
      {{"--panel-code", "abc"}, "bad value 'abc' for --panel-code"},
      {{"--panel-code", "123456789"}, "bad value '123456789' for --panel-code"},
      {{"--fault", "cmd=packet"}, "bad value 'cmd=packet' for --fault: no action"},
      {{"stray"}, "unexpected argument 'stray'"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error));
    EXPECT_EQ(error, c.message);
  }
}

}  // namespace
}  // namespace panelsim
