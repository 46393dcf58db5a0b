#pragma once
// The download dialog: the one window of a download and the home of the download
// itself, which it inherits from the transfer engine. The dialog side lives here: the settings
// loaded as it opens, the posted start message that runs the download once the dialog is up, the
// Cancel question that only sets m_bAbort, the About box from the system menu, and help on F1.

#include <cstdint>
#include <string>

#include "downloader/platform/byte_port.h"
#include "downloader/platform/clock.h"
#include "downloader/platform/profile.h"
#include "downloader/transfer/download_engine.h"
#include "downloader/ui/dialog.h"
#include "downloader/ui/help.h"

namespace dravik {

// What the download dialog needs of the program around it.
struct DownloadDialogServices {
  PortOpener& ports;
  Clock& clock;
  Profile& profile;  // the program's Dravik.ini
  HelpServices& help;
  std::string helpPath;       // the application's m_strHelpPath
  std::string packageFolder;  // where data.dvx lies: the program's own folder
};

class CDownloadDlg : public CDialog, public DownloadEngine {
 public:
  CDownloadDlg(FrontEnd& frontEnd, DownloadDialogServices& services);

  // The transfer's pump (the link's, over this dialog's Window), not the dialog's.
  using DownloadEngine::PumpMessages;

  // The WM_HELP handler: opens the help file.
  void ShowHelp();

  uint16_t m_hIcon;

 protected:
  bool OnInitDialog() override;
  intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void OnCancel() override;
  void OnSysCommand(uint32_t commandId, intptr_t lParam) override;
  void OnHelp() override { ShowHelp(); }
  bool HandlesHelp() const override { return true; }

 private:
  DownloadDialogServices& services_;
};

}  // namespace dravik
