#include "downloader/ui/dialog.h"

#include "downloader/ui/dialog_window.h"

namespace dravik {

CDialog::CDialog(FrontEnd& frontEnd, const DialogResource& resource)
    : frontEnd_(frontEnd), resource_(resource), state_(std::make_unique<DialogState>(resource)) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
  // A fresh window each run, as the framework creates one from the template.
  state_ = std::make_unique<DialogState>(resource_);
  state_->SetHelpAvailable(HandlesHelp());
  posted_.clear();
  running_ = true;
  ended_ = false;
  result_ = IDCANCEL;
  OnInitDialog();
  if (!ended_) {
    state_->SetListener([this](int controlId) {
      if (shown_) frontEnd_.ControlChanged(*state_, controlId);
    });
    frontEnd_.ShowDialog(*state_);
    shown_ = true;
    while (!ended_) {
      if (DeliverPosted()) continue;
      Dispatch(frontEnd_.WaitForInput(*state_));
    }
    shown_ = false;
    state_->SetListener(nullptr);
    frontEnd_.CloseDialog(*state_, result_);
  }
  running_ = false;
  return result_;
}

void CDialog::EndDialog(int result) {
  if (!running_ || ended_) return;
  ended_ = true;
  result_ = result;
}

void CDialog::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  posted_.push_back({message, wParam, lParam});
}

void CDialog::PumpMessages() {
  if (!shown_) return;
  for (;;) {
    if (DeliverPosted()) continue;
    auto event = frontEnd_.PollInput(*state_);
    if (!event) return;
    Dispatch(*event);
  }
}

bool CDialog::DeliverPosted() {
  if (posted_.empty()) return false;
  const Posted message = posted_.front();
  posted_.pop_front();
  WindowProc(message.message, message.wParam, message.lParam);
  return true;
}

void CDialog::Dispatch(const InputEvent& event) {
  switch (event.kind) {
    case InputEvent::Kind::Command:
      Command(event.id, event.notification);
      return;
    case InputEvent::Kind::SysCommand:
      OnSysCommand(event.id, 0);
      return;
    case InputEvent::Kind::Help:
      OnHelp();
      return;
  }
}

void CDialog::Command(uint32_t id, int notification) {
  const int controlId = static_cast<int>(id);
  // A disabled button gives no command: the dialog manager beeps at Escape or the
  // close box once Cancel is disabled.
  const ControlState* control = state_->Find(controlId);
  if (control != nullptr && control->resource->kind == ControlKind::PushButton &&
      !control->enabled) {
    frontEnd_.Beep();
    return;
  }
  if (controlId == IDOK) {
    OnOK();
  } else if (controlId == IDCANCEL) {
    OnCancel();
  } else {
    OnControlCommand(controlId, notification);
  }
}

void CDialog::OnControlCommand(int controlId, int notification) {
  (void)controlId;
  (void)notification;
}

intptr_t CDialog::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  (void)message;
  (void)wParam;
  (void)lParam;
  return 0;
}

void CDialog::OnSysCommand(uint32_t commandId, intptr_t lParam) {
  (void)lParam;
  if ((commandId & 0xFFF0) == SC_CLOSE) Command(IDCANCEL, BN_CLICKED);
}

Window& CDialog::AsWindow() {
  if (!window_) window_ = std::make_unique<DialogWindow>(*this);
  return *window_;
}

void CDialog::SetDlgItemText(int controlId, std::string_view text) {
  state_->SetText(controlId, text);
}

std::string CDialog::GetDlgItemText(int controlId) const {
  return state_->Text(controlId);
}

void CDialog::EnableDlgItem(int controlId, bool enabled) {
  state_->Enable(controlId, enabled);
}

void CDialog::ShowDlgItem(int controlId, bool shown) {
  state_->Show(controlId, shown);
}

void CDialog::GotoDlgCtrl(int controlId) {
  state_->SetFocus(controlId);
}

intptr_t CDialog::SendProgress(int controlId, ProgressMessage message, uintptr_t wParam,
                               intptr_t lParam) {
  return state_->Progress(controlId, message, wParam, lParam);
}

bool CDialog::AppendSystemMenuItem(uint32_t commandId, std::string_view text) {
  if (!state_->HasSystemMenu()) return false;
  state_->AppendSystemMenu(0, "");
  state_->AppendSystemMenu(commandId, text);
  return true;
}

void CDialog::SetIcon(uint16_t iconId, bool big) {
  (void)big;  // one icon serves both sizes here
  state_->SetIcon(iconId);
}

int CDialog::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) {
  return frontEnd_.MessageBox(text, buttons, icon);
}

}  // namespace dravik
