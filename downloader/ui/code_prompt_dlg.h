#pragma once
// The prompt for the panel's code: one field of at most 8 characters, OK and
// Cancel. What OK does with the text is the caller's; on a refusal the field is
// emptied and gets the focus again.

#include <cstdint>

#include "downloader/platform/window.h"
#include "downloader/ui/dialog.h"

namespace dravik {

class CCodePromptDlg : public CDialog {
 public:
  CCodePromptDlg(FrontEnd& frontEnd, uint8_t machineType, CodePromptHandler onOk);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  uint8_t m_nMachineType;
  CodePromptHandler m_onOk;
};

}  // namespace dravik
