#pragma once
// The dialog framework's dialog class: a modal dialog built from a dialog resource,
// with the framework's handlers as virtual functions and the control calls the
// dialogs make. It runs its own modal loop over a front end: OnInitDialog, then the
// dialog is shown, posted messages are delivered, then the user's input until
// EndDialog. Everything runs on one thread; nested dialogs and message boxes run
// inside the handlers, as on the original platform.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "downloader/platform/window.h"
#include "downloader/resources/dialogs.h"
#include "downloader/ui/dialog_state.h"
#include "downloader/ui/frontend.h"
#include "downloader/ui/messages.h"

namespace dravik {

static_assert(static_cast<int>(IDC_OK) == static_cast<int>(IDOK) &&
              static_cast<int>(IDC_CANCEL) == static_cast<int>(IDCANCEL));

class CDialog {
 public:
  CDialog(FrontEnd& frontEnd, const DialogResource& resource);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog modally; returns the result given to EndDialog.
  int DoModal();
  // Ends the modal loop after the current handler returns.
  void EndDialog(int result);
  // Queues a message for the dialog's window procedure; the modal loop and the
  // message pump deliver it.
  void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Delivers every waiting posted message and input event, then returns.
  void PumpMessages();

  // The Window seam over this dialog, for the download logic.
  Window& AsWindow();

  FrontEnd& frontEnd() { return frontEnd_; }
  const DialogResource& resource() const { return resource_; }
  // The controls; valid from DoModal's start until the dialog object goes.
  DialogState& state() { return *state_; }
  bool running() const { return running_; }

  // Control calls on this dialog (SetDlgItemText, EnableWindow, ...).
  void SetDlgItemText(int controlId, std::string_view text);
  std::string GetDlgItemText(int controlId) const;
  void EnableDlgItem(int controlId, bool enabled);
  void ShowDlgItem(int controlId, bool shown);
  void GotoDlgCtrl(int controlId);
  intptr_t SendProgress(int controlId, ProgressMessage message, uintptr_t wParam, intptr_t lParam);
  // The system menu: a separator, then the item. False when the dialog has none.
  bool AppendSystemMenuItem(uint32_t commandId, std::string_view text);
  void SetIcon(uint16_t iconId, bool big);
  // AfxMessageBox: caption "Dravik".
  int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon);
  void BeginWaitCursor() { frontEnd_.BeginWaitCursor(); }
  void EndWaitCursor() { frontEnd_.EndWaitCursor(); }

 protected:
  // WM_INITDIALOG, before the dialog is shown. The base does nothing.
  virtual bool OnInitDialog() { return true; }
  // IDOK and IDCANCEL: the base ends the dialog with that result.
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // WM_COMMAND from any other control (the message map). The base ignores it.
  virtual void OnControlCommand(int controlId, int notification);
  // Posted messages. The base handles none and returns 0.
  virtual intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // WM_SYSCOMMAND. The base turns Close into a Cancel, as the dialog manager does.
  virtual void OnSysCommand(uint32_t commandId, intptr_t lParam);
  // WM_HELP (F1). The base ignores it; a dialog that handles it says so below.
  virtual void OnHelp() {}
  virtual bool HandlesHelp() const { return false; }

 private:
  void Dispatch(const InputEvent& event);
  void Command(uint32_t id, int notification);
  bool DeliverPosted();

  struct Posted {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };

  FrontEnd& frontEnd_;
  const DialogResource& resource_;
  std::unique_ptr<DialogState> state_;
  std::unique_ptr<Window> window_;
  std::deque<Posted> posted_;
  bool running_ = false;
  bool shown_ = false;
  bool ended_ = false;
  int result_ = IDCANCEL;
};

}  // namespace dravik
