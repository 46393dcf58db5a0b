#pragma once
// The front-end seam: what the dialog logic needs from a toolkit. The dialog classes
// (CDialog and its descendants) keep every control's state themselves, in a
// DialogState built from the dialog resource, and run their own modal loop; a front
// end only shows that state, turns the user's actions into input events, and shows
// message boxes. The terminal front end, the Qt one and the tests' fake implement it.

#include <cstdint>
#include <optional>
#include <string>

#include "downloader/platform/window.h"
#include "downloader/ui/messages.h"

namespace dravik {

class DialogState;

// One thing the user did, already applied to the dialog's state where it changes
// it (a new selection in a list, text typed into a field).
struct InputEvent {
  enum class Kind {
    Command,     // WM_COMMAND: a button pressed (Enter, Escape and the close box included)
    SysCommand,  // WM_SYSCOMMAND: an item of the system menu
    Help,        // WM_HELP: F1
  };
  Kind kind = Kind::Command;
  uint32_t id = 0;       // control id, or system command id
  int notification = 0;  // BN_CLICKED, CBN_SELCHANGE...

  static InputEvent Command(uint32_t id, int notification = BN_CLICKED) {
    return {Kind::Command, id, notification};
  }
  static InputEvent SysCommand(uint32_t id) { return {Kind::SysCommand, id, 0}; }
  static InputEvent Help() { return {Kind::Help, 0, 0}; }
  bool operator==(const InputEvent&) const = default;
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // A modal dialog has been initialised: show it on top of the dialogs shown so far.
  // The state stays valid until CloseDialog.
  virtual void ShowDialog(DialogState& dialog) = 0;

  // The dialog ended with result: remove it; the one below is on top again.
  virtual void CloseDialog(DialogState& dialog, int result) = 0;

  // A control of a shown dialog changed (text, enabled, shown, list, bar, focus);
  // controlId 0 means the dialog as a whole. Redraw from the state.
  virtual void ControlChanged(DialogState& dialog, int controlId) = 0;

  // Blocks until the user acts on the top dialog. When no input can ever come (the
  // end of a script, a hung-up terminal) it answers so that the dialog can end: the
  // default button, or IDCANCEL.
  virtual InputEvent WaitForInput(DialogState& dialog) = 0;

  // Input already waiting for the top dialog, without blocking; nullopt when none.
  // Called by the message pump during a download.
  virtual std::optional<InputEvent> PollInput(DialogState& dialog) = 0;

  // A modal message box with caption "Dravik"; blocks until answered and returns
  // IDOK, IDYES or IDNO.
  virtual int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) = 0;

  // The hourglass: on while the download sequence works between pumps.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // The dialog manager's refusal: a Cancel while the Cancel button is disabled.
  virtual void Beep() = 0;
};

}  // namespace dravik
