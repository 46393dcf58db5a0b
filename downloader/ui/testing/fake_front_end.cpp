#include "downloader/ui/testing/fake_front_end.h"

#include <algorithm>

#include "downloader/ui/keys.h"
#include "downloader/ui/names.h"

namespace dravik {

namespace {
std::string Dialog(const DialogState& dialog) {
  return std::to_string(dialog.resource().id);
}
}  // namespace

std::string BoxLogLine(const std::string& text, BoxButtons buttons, BoxIcon icon, int answer) {
  return "box " + std::string(IconName(icon)) + (buttons == BoxButtons::Ok ? " ok: " : " yesno: ") +
         text + " -> " + ResultName(answer);
}

void FakeFrontEnd::ShowDialog(DialogState& dialog) {
  shown_.push_back(&dialog);
  log_.push_back("show " + Dialog(dialog));
}

void FakeFrontEnd::CloseDialog(DialogState& dialog, int result) {
  shown_.erase(std::remove(shown_.begin(), shown_.end(), &dialog), shown_.end());
  log_.push_back("close " + Dialog(dialog) + " " + ResultName(result));
}

void FakeFrontEnd::ControlChanged(DialogState& dialog, int controlId) {
  const ControlState* control = dialog.Find(controlId);
  if (control == nullptr || control->resource->kind != ControlKind::Static) return;
  log_.push_back("text " + std::to_string(controlId) + ": " + control->text);
}

InputEvent FakeFrontEnd::WaitForInput(DialogState& dialog) {
  if (inputs_.empty()) return DefaultAnswer(dialog);
  Action action = std::move(inputs_.front());
  inputs_.pop_front();
  return action(dialog);
}

std::optional<InputEvent> FakeFrontEnd::PollInput(DialogState& dialog) {
  ++polls_;
  if (!onPoll_) return std::nullopt;
  return onPoll_(dialog, polls_);
}

int FakeFrontEnd::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) {
  int answer = buttons == BoxButtons::Ok ? IDOK : IDYES;
  if (!boxAnswers_.empty()) {
    answer = boxAnswers_.front();
    boxAnswers_.pop_front();
  }
  log_.push_back(BoxLogLine(text, buttons, icon, answer));
  return answer;
}

}  // namespace dravik
