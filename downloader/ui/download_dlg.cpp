#include "downloader/ui/download_dlg.h"

#include "downloader/resources/string_table.h"
#include "downloader/settings/trans_environment.h"
#include "downloader/ui/about_dlg.h"

namespace dravik {

CDownloadDlg::CDownloadDlg(FrontEnd& frontEnd, DownloadDialogServices& services)
    : CDialog(frontEnd, kDownloadDialog),
      DownloadEngine(services.ports, services.clock, AsWindow(), services.packageFolder),
      m_hIcon(IDR_MAINFRAME),
      services_(services) {
  m_bAbort = false;
  m_strError.clear();
}

bool CDownloadDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (state().HasSystemMenu()) {
    const std::string about = LoadString(IDS_ABOUTBOX);
    if (!about.empty()) AppendSystemMenuItem(IDM_ABOUTBOX, about);
  }
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);
  LoadTransEnvironment(m_env, services_.profile);
  SetDlgItemText(IDC_STATUS, LoadString(IDS_TRANSFERRING));
  SetDlgItemText(IDC_WARNING, LoadString(IDS_POWER_WARNING));
  PostMessage(WM_APP, 0, 0);
  return true;
}

intptr_t CDownloadDlg::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_APP) {
    RunDownload();
    return 0;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

// Only asks; the download sequence honours m_bAbort at its next checkpoint and ends
// the dialog itself.
void CDownloadDlg::OnCancel() {
  if (CDialog::MessageBox(LoadString(IDS_QUIT_TRANSFER), BoxButtons::YesNo, BoxIcon::Question) !=
      IDYES) {
    return;
  }
  EnableDlgItem(IDCANCEL, false);
  SetDlgItemText(IDC_STATUS, LoadString(IDS_INTERRUPTING));
  m_bAbort = true;
}

void CDownloadDlg::OnSysCommand(uint32_t commandId, intptr_t lParam) {
  if ((commandId & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about(frontEnd());
    about.DoModal();
    return;
  }
  CDialog::OnSysCommand(commandId, lParam);
}

void CDownloadDlg::ShowHelp() {
  dravik::ShowHelp(services_.help, services_.helpPath);
}

}  // namespace dravik
