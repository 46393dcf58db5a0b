#pragma once
// The window seam: what the download logic asks of the dialog framework. The
// terminal and Qt front ends implement it; tests use a recorder that logs every
// box and control change and answers from a script.

#include <cstdint>
#include <functional>
#include <string>

namespace dravik {

// Dialog results, with the framework's values.
enum DialogResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

enum class BoxButtons { Ok, YesNo };
enum class BoxIcon { None, Exclamation, Information, Question };

// Progress-bar messages, with the common controls' numbers.
enum ProgressMessage : uint32_t {
  PBM_SETRANGE = 0x0401,  // lParam: low word minimum, high word maximum
  PBM_SETPOS = 0x0402,    // wParam: new position; returns the old one
  PBM_SETSTEP = 0x0404,   // wParam: step; returns the old one
  PBM_STEPIT = 0x0405,    // returns the old position
  PBM_GETPOS = 0x0408,    // returns the position
};

// What the code prompt's OK button does with the text in the edit field: true
// closes the prompt as entered, false keeps it open (the handler has shown its
// message; the front end then empties the field and gives it the focus).
using CodePromptHandler = std::function<bool(const std::string& text)>;

class Window {
 public:
  virtual ~Window() = default;

  // AfxMessageBox with caption "Dravik": blocks until answered; returns the
  // button's DialogResult.
  virtual int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) = 0;

  // Takes and dispatches every waiting window message, then returns. This is the
  // only moment user input (Cancel, About, help) reaches the dialog during a run.
  virtual void PumpMessages() = 0;

  // SetDlgItemText on a control of the current dialog.
  virtual void SetItemText(int controlId, const std::string& text) = 0;

  // EnableWindow on a control of the current dialog.
  virtual void EnableItem(int controlId, bool enabled) = 0;

  // ShowWindow on a control of the current dialog. Controls start visible.
  virtual void ShowItem(int controlId, bool shown) = 0;

  // SendDlgItemMessage with a progress-bar message; returns what the bar returns.
  virtual intptr_t SendProgress(int controlId, ProgressMessage message, uintptr_t wParam,
                                intptr_t lParam) = 0;

  // The modal code prompt (one edit field of at most 8 characters, OK, Cancel).
  // Calls onOk for each OK; returns IDOK once it returned true, IDCANCEL when the
  // user cancelled or closed the prompt.
  virtual int RunCodePrompt(uint8_t machineType, const CodePromptHandler& onOk) = 0;

  // The hourglass cursor.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // Ends the current modal dialog with this result (CDialog::OnOK / OnCancel).
  virtual void EndDialog(int result) = 0;
};

}  // namespace dravik
