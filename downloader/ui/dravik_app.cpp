#include "downloader/ui/dravik_app.h"

#include "downloader/settings/profile_path.h"
#include "downloader/ui/com_ports.h"
#include "downloader/ui/port_select_dlg.h"

namespace dravik {

CDravikApp::CDravikApp(AppServices& services) : services_(services) {}

CDravikApp::~CDravikApp() = default;

int CDravikApp::EnumerateComPorts(std::vector<std::string>& ports) {
  return dravik::EnumerateComPorts(services_.registry, ports);
}

int CDravikApp::GetLanguageIndex() {
  return dravik::GetLanguageIndex(*profile_);
}

void CDravikApp::LocateHelpFile() {
  m_strHelpPath = dravik::LocateHelpFile(services_.registry, services_.executablePath, m_nLanguage);
}

std::unique_ptr<CDownloadDlg> CDravikApp::NewDownloadDialog(DownloadDialogServices& services) {
  return std::make_unique<CDownloadDlg>(services_.frontEnd, services);
}

std::string CDravikApp::ProgramFolder() const {
  const std::string& path = services_.executablePath;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool CDravikApp::InitInstance() {
  m_pszProfileName = ProfilePathFor(services_.executablePath);
  profile_ = services_.openProfile(m_pszProfileName);
  m_nLanguage = GetLanguageIndex();
  LocateHelpFile();

  HelpServices help{services_.registry, services_.helpViewer, services_.clock, services_.os};
  DownloadDialogServices downloadServices{services_.ports, services_.clock, *profile_, help,
                                          m_strHelpPath,   ProgramFolder()};
  std::unique_ptr<CDownloadDlg> download = NewDownloadDialog(downloadServices);
  CPortSelectDlg portSelect(services_.frontEnd, services_.registry);
  m_nExitCode = 2;
  if (portSelect.DoModal() == IDOK) {
    m_pMainWnd = download.get();
    download->m_env.PortNumber = portSelect.m_nPort;
    m_nExitCode = download->DoModal() == IDOK ? 0 : 1;
  }
  m_pMainWnd = nullptr;
  return false;
}

}  // namespace dravik
