#include "downloader/platform/testing/recorder_window.h"

namespace dravik {

WindowEvent& RecorderWindow::Log(WindowEvent::Kind kind) {
  WindowEvent& event = events_.emplace_back();
  event.kind = kind;
  return event;
}

std::vector<BoxRecord> RecorderWindow::Boxes() const {
  std::vector<BoxRecord> boxes;
  for (const WindowEvent& e : events_) {
    if (e.kind == WindowEvent::Kind::MessageBox) boxes.push_back({e.text, e.buttons, e.icon});
  }
  return boxes;
}

std::vector<std::string> RecorderWindow::BoxTexts() const {
  std::vector<std::string> texts;
  for (const BoxRecord& box : Boxes()) texts.push_back(box.text);
  return texts;
}

std::string RecorderWindow::ItemText(int controlId) const {
  const auto it = texts_.find(controlId);
  return it == texts_.end() ? std::string() : it->second;
}

int RecorderWindow::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) {
  int answer = buttons == BoxButtons::Ok ? IDOK : IDYES;
  if (!boxAnswers_.empty()) {
    answer = boxAnswers_.front();
    boxAnswers_.pop_front();
  }
  WindowEvent& event = Log(WindowEvent::Kind::MessageBox);
  event.text = text;
  event.buttons = buttons;
  event.icon = icon;
  event.result = answer;
  return answer;
}

void RecorderWindow::PumpMessages() {
  ++pumps_;
  if (onPump_) onPump_(pumps_);
}

void RecorderWindow::SetItemText(int controlId, const std::string& text) {
  texts_[controlId] = text;
  WindowEvent& event = Log(WindowEvent::Kind::ItemText);
  event.controlId = controlId;
  event.text = text;
}

void RecorderWindow::EnableItem(int controlId, bool enabled) {
  WindowEvent& event = Log(WindowEvent::Kind::EnableItem);
  event.controlId = controlId;
  event.flag = enabled;
}

void RecorderWindow::ShowItem(int controlId, bool shown) {
  WindowEvent& event = Log(WindowEvent::Kind::ShowItem);
  event.controlId = controlId;
  event.flag = shown;
}

intptr_t RecorderWindow::SendProgress(int controlId, ProgressMessage message, uintptr_t wParam,
                                      intptr_t lParam) {
  const intptr_t answer = bars_[controlId].Handle(message, wParam, lParam);
  WindowEvent& event = Log(WindowEvent::Kind::Progress);
  event.controlId = controlId;
  event.message = message;
  event.wParam = wParam;
  event.lParam = lParam;
  event.result = static_cast<int>(answer);
  return answer;
}

int RecorderWindow::RunCodePrompt(uint8_t machineType, const CodePromptHandler& onOk) {
  std::vector<std::string> entries;
  if (!promptScripts_.empty()) {
    entries = std::move(promptScripts_.front());
    promptScripts_.pop_front();
  }
  // Logged when the prompt opens, so the boxes its handler shows follow it.
  const size_t index = events_.size();
  Log(WindowEvent::Kind::CodePrompt).machineType = machineType;
  int result = IDCANCEL;
  for (const std::string& entry : entries) {
    const bool accepted = onOk(entry);
    codeEntries_.push_back({entry, accepted});
    if (accepted) {
      result = IDOK;
      break;
    }
  }
  events_[index].result = result;
  return result;
}

void RecorderWindow::BeginWaitCursor() {
  Log(WindowEvent::Kind::WaitCursor).flag = true;
}

void RecorderWindow::EndWaitCursor() {
  Log(WindowEvent::Kind::WaitCursor).flag = false;
}

void RecorderWindow::EndDialog(int result) {
  Log(WindowEvent::Kind::EndDialog).result = result;
}

}  // namespace dravik
