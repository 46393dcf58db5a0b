#pragma once
// The About box: the program's name and version; nothing of its own to do.

#include "downloader/ui/dialog.h"

namespace dravik {

class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(FrontEnd& frontEnd) : CDialog(frontEnd, kAboutDialog) {}
};

}  // namespace dravik
