#include "downloader/ui/code_prompt_dlg.h"

#include <cstdio>
#include <string>

#include "downloader/resources/string_table.h"

namespace dravik {

CCodePromptDlg::CCodePromptDlg(FrontEnd& frontEnd, uint8_t machineType, CodePromptHandler onOk)
    : CDialog(frontEnd, kCodePromptDialog), m_nMachineType(machineType), m_onOk(std::move(onOk)) {}

bool CCodePromptDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  char hex[4];
  std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(m_nMachineType));
  SetDlgItemText(IDC_CODE_MACHINE, LoadString(IDS_CODE_PROMPT_MACHINE) + " " + hex);
  GotoDlgCtrl(IDC_CODE_EDIT);
  return true;
}

void CCodePromptDlg::OnOK() {
  if (m_onOk && m_onOk(GetDlgItemText(IDC_CODE_EDIT))) {
    EndDialog(IDOK);
    return;
  }
  SetDlgItemText(IDC_CODE_EDIT, "");
  GotoDlgCtrl(IDC_CODE_EDIT);
}

}  // namespace dravik
