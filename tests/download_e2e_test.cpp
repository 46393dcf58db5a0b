// Whole downloads in real time over a pseudo-terminal into the simulated panel: the
// engine, the termios port and the simulator together, the record the panel kept
// compared with the package.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/platform/testing/recorder_window.h"
#include "downloader/transfer/package_text.h"
#include "tests/support/pty_download.h"
#include "tools/dvx/package_image.h"
#include "tools/dvx/sample.h"

namespace dravik {
namespace {

std::vector<std::string> RecordsOf(const std::vector<uint8_t>& block, TextBlockKind kind) {
  std::vector<std::string> records;
  for (std::string_view r : SplitTextBlock(block, kind).Records()) records.emplace_back(r);
  return records;
}

// Runs the sample package of these options into a panel at `line` with the
// downloader starting from `env`, and checks that the panel received exactly the
// package and the user saw only "Transfer complete.".
void DownloadWhole(const dvx::SampleOptions& options, const panelsim::LineSettings& line,
                   const TransEnvironment& env, TransEnvironment* finalEnv = nullptr) {
  const std::vector<std::vector<uint8_t>> blocks = dvx::SampleBlocks(options);
  panelsim::PanelConfig config;
  config.machineType = options.machineType;
  PanelOnPty panel(config, line, /*pace=*/false);
  ASSERT_EQ(panel.Error(), "");
  DownloaderOnPort downloader(panel.SlavePath(), dvx::PackageImage(options.machineType, blocks),
                              env);
  downloader.Run();
  panel.Stop();
  if (finalEnv != nullptr) *finalEnv = downloader.Engine().m_env;

  EXPECT_EQ(downloader.Window().Boxes(),
            (std::vector<BoxRecord>{{"Transfer complete.", BoxButtons::Ok, BoxIcon::Information}}));
  EXPECT_EQ(downloader.EndResults(), std::vector<int>{IDOK});
  const panelsim::Recording& received = panel.Received();
  EXPECT_EQ(received.text[0], RecordsOf(blocks[0], TextBlockKind::Block1));
  EXPECT_EQ(received.text[1], RecordsOf(blocks[1], TextBlockKind::Block2));
  ASSERT_EQ(received.binary.size(), blocks.size() - 2);
  for (size_t i = 2; i < blocks.size(); ++i) {
    EXPECT_TRUE(received.binary[i - 2] == blocks[i]) << "block " << i + 1;
  }
  EXPECT_EQ(panel.Stats().retransmissions, 0u);
}

TEST(DownloadOverPty, WholePackageArrivesAsItIs) {
  dvx::SampleOptions options;  // binary blocks of 300, 2039 and 7000 bytes
  options.machineType = 0x05;
  DownloadWhole(options, {19200, 8, panelsim::Parity::Odd, panelsim::StopBits::One},
                SettingsAt(19200, 1));
}

TEST(DownloadOverPty, PanelAtAnotherSpeedIsFoundBySearch) {
  dvx::SampleOptions options;
  options.machineType = 0x24;  // a panel of the restart group: S7 goes unanswered
  options.text1Records = 4;
  options.text2Records = 3;
  options.binarySizes = {2500};
  // A pseudo-terminal shows odd parity but not none from even, so the probes before
  // 115200 odd go unheard and the seventh answers.
  TransEnvironment found;
  DownloadWhole(options, {115200, 8, panelsim::Parity::Odd, panelsim::StopBits::One},
                SettingsAt(9600, 0), &found);
  EXPECT_EQ(found.BaudRate, 115200u);
  EXPECT_EQ(found.Parity, 1);
  EXPECT_EQ(found.RetryCount, 3);
  EXPECT_EQ(found.TimeOut, 5000u);
}

}  // namespace
}  // namespace dravik
