#include "downloader/ui/qt/testing/qt_download_rig.h"

#include "downloader/transfer/testing/engine_rig.h"

namespace dravik {

std::vector<Bytes> SampleBlocks() {
  std::vector<std::string> block1;
  std::vector<std::string> block2 = {"; settings"};
  for (uint8_t i = 0; i < 8; ++i) {
    (i < 4 ? block1 : block2)
        .push_back(SRecord(1, static_cast<uint16_t>(0x1000 + 16 * i), PatternBytes(16, i)));
  }
  block1.push_back("S70500000000FA");
  block2.push_back("*****");
  return {TextBlock(block1), TextBlock(block2), PatternBytes(9000, 3), PatternBytes(5000, 4)};
}

std::vector<int> SampleOverallSteps() {
  return {16, 33, 50, 66, 100};
}

namespace {
panelsim::PanelConfig ForRig(panelsim::PanelConfig config) {
  config.machineType = kRigMachineType;
  return config;
}
}  // namespace

QtDownloadRig::QtDownloadRig(panelsim::PanelConfig config, const std::vector<Bytes>& blocks)
    : port(ForRig(std::move(config)), clock) {
  const Bytes bytes = PackageBytes(kRigMachineType, blocks);
  folder.Write("data.dvx",
               std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  dialog.m_env.PortNumber = 3;
}

QProgressBar* QtDownloadRig::Bar(int controlId) {
  return window() != nullptr ? dynamic_cast<QProgressBar*>(window()->Control(controlId)) : nullptr;
}

QLabel* QtDownloadRig::Label(int controlId) {
  return window() != nullptr ? dynamic_cast<QLabel*>(window()->Control(controlId)) : nullptr;
}

QPushButton* QtDownloadRig::Button(int controlId) {
  return window() != nullptr ? dynamic_cast<QPushButton*>(window()->Control(controlId)) : nullptr;
}

}  // namespace dravik
