#include "downloader/ui/dialog_window.h"

#include "downloader/ui/code_prompt_dlg.h"
#include "downloader/ui/dialog.h"

namespace dravik {

int DialogWindow::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) {
  if (buttons == BoxButtons::Ok && icon == BoxIcon::None) icon = BoxIcon::Exclamation;
  return dialog_.MessageBox(text, buttons, icon);
}

void DialogWindow::PumpMessages() {
  dialog_.PumpMessages();
}

void DialogWindow::SetItemText(int controlId, const std::string& text) {
  dialog_.SetDlgItemText(controlId, text);
}

void DialogWindow::EnableItem(int controlId, bool enabled) {
  dialog_.EnableDlgItem(controlId, enabled);
}

void DialogWindow::ShowItem(int controlId, bool shown) {
  dialog_.ShowDlgItem(controlId, shown);
}

intptr_t DialogWindow::SendProgress(int controlId, ProgressMessage message, uintptr_t wParam,
                                    intptr_t lParam) {
  return dialog_.SendProgress(controlId, message, wParam, lParam);
}

int DialogWindow::RunCodePrompt(uint8_t machineType, const CodePromptHandler& onOk) {
  CCodePromptDlg prompt(dialog_.frontEnd(), machineType, onOk);
  return prompt.DoModal();
}

void DialogWindow::BeginWaitCursor() {
  dialog_.BeginWaitCursor();
}

void DialogWindow::EndWaitCursor() {
  dialog_.EndWaitCursor();
}

void DialogWindow::EndDialog(int result) {
  dialog_.EndDialog(result);
}

}  // namespace dravik
