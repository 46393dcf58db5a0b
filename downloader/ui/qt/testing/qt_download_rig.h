#pragma once
// The download dialog on the Qt front end, with the simulated panel behind its
// port, the package in a scratch folder and virtual time: the whole program's
// download as the user sees it, without a serial line or a real clock.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <string>
#include <vector>

#include "downloader/platform/clock.h"
#include "downloader/platform/scratch_dir.h"
#include "downloader/platform/testing/hex_bytes.h"
#include "downloader/ui/download_dlg.h"
#include "downloader/ui/qt/qt_dialog_window.h"
#include "downloader/ui/qt/qt_front_end.h"
#include "downloader/ui/qt/testing/panel_port.h"
#include "downloader/ui/testing/memory_registry.h"
#include "downloader/ui/testing/recording_profile.h"

namespace dravik {

inline constexpr uint8_t kRigMachineType = 0x05;
inline constexpr char kRigHelpPath[] = "/opt/ostrel/kelvane/Dravik_e.chm";

// Two text blocks of a few records and two binary blocks of several packets each,
// so both bars move within every block: N = 4, the overall bar in six steps.
std::vector<Bytes> SampleBlocks();

// The overall bar's positions after phase 1, phase 2, each binary block and the end.
std::vector<int> SampleOverallSteps();

// The help viewer's requests, without starting anything.
class HelpRequests final : public HelpViewer {
 public:
  bool DisplayTopic(const std::string& path) override {
    paths.push_back(path);
    return true;
  }
  std::vector<std::string> paths;
};

struct QtDownloadRig {
  explicit QtDownloadRig(panelsim::PanelConfig config = {},
                         const std::vector<Bytes>& blocks = SampleBlocks());

  // The dialog's window while it is shown, and its widgets by control id.
  QtDialogWindow* window() { return front.WindowOf(dialog.state()); }
  QProgressBar* Bar(int controlId);
  QLabel* Label(int controlId);
  QPushButton* Button(int controlId);

  ScratchDir folder;
  VirtualClock clock{1'000'000};
  PanelPort port;
  QtFrontEnd front;
  RecordingProfile profile;
  MemoryRegistry registry;
  HelpRequests viewer;
  HelpServices help{registry, viewer, clock, CurrentOsVersion()};
  DownloadDialogServices services{port, clock, profile, help, kRigHelpPath, folder.path()};
  CDownloadDlg dialog{front, services};
};

}  // namespace dravik
