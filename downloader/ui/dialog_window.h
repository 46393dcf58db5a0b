#pragma once
// The Window seam over a running dialog: what the download logic sees of the
// download dialog. Control calls go to the dialog, boxes and the hourglass to its
// front end, the code prompt runs as a nested modal dialog.

#include "downloader/platform/window.h"

namespace dravik {

class CDialog;

class DialogWindow final : public Window {
 public:
  explicit DialogWindow(CDialog& dialog) : dialog_(dialog) {}

  // An OK-only box without an icon gets the exclamation, as every OK box has.
  int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) override;
  void PumpMessages() override;
  void SetItemText(int controlId, const std::string& text) override;
  void EnableItem(int controlId, bool enabled) override;
  void ShowItem(int controlId, bool shown) override;
  intptr_t SendProgress(int controlId, ProgressMessage message, uintptr_t wParam,
                        intptr_t lParam) override;
  int RunCodePrompt(uint8_t machineType, const CodePromptHandler& onOk) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void EndDialog(int result) override;

 private:
  CDialog& dialog_;
};

}  // namespace dravik
