#pragma once
// The application object: all of the program's work is its start-up step. It
// installs the profile beside the executable, picks the help language and file,
// runs the port dialog and, on OK, one download dialog on the chosen port.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "downloader/platform/byte_port.h"
#include "downloader/platform/clock.h"
#include "downloader/platform/profile.h"
#include "downloader/platform/registry.h"
#include "downloader/ui/download_dlg.h"
#include "downloader/ui/frontend.h"
#include "downloader/ui/help.h"

namespace dravik {

// The machine the program runs on, handed in by main (or a test).
struct AppServices {
  FrontEnd& frontEnd;
  Registry& registry;
  Clock& clock;
  PortOpener& ports;
  HelpViewer& helpViewer;
  OsVersionInfo os;
  std::string executablePath;
  // Opens the profile at a path (the framework's profile functions on that file).
  std::function<std::unique_ptr<Profile>(const std::string& path)> openProfile;
};

class CDravikApp {
 public:
  explicit CDravikApp(AppServices& services);
  virtual ~CDravikApp();

  // The start-up sequence; false in every case, so the program then ends.
  bool InitInstance();

  // The program's exit status after InitInstance, for scripts: 0 when the
  // download dialog ended with OK (a complete transfer), 1 when it ended otherwise,
  // 2 when the port dialog was cancelled. The start-up itself never looks at it.
  int ExitCode() const { return m_nExitCode; }

  int EnumerateComPorts(std::vector<std::string>& ports);
  int GetLanguageIndex();
  void LocateHelpFile();

  int m_nLanguage = -1;
  std::string m_strHelpPath;
  std::string m_pszProfileName;
  CDialog* m_pMainWnd = nullptr;
  int m_nExitCode = 2;

 protected:
  // Constructs the download dialog; a test may put a probe in its place.
  virtual std::unique_ptr<CDownloadDlg> NewDownloadDialog(DownloadDialogServices& services);

 private:
  // The executable's folder with its separator, where data.dvx lies; empty when the
  // executable's path is not known.
  std::string ProgramFolder() const;

  AppServices& services_;
  std::unique_ptr<Profile> profile_;
};

}  // namespace dravik
