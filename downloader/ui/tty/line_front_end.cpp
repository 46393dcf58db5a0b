#include "downloader/ui/tty/line_front_end.h"

#include "downloader/platform/ascii.h"
#include "downloader/ui/dialog_state.h"
#include "downloader/ui/keys.h"
#include "downloader/ui/names.h"
#include "downloader/ui/tty/line_answers.h"
#include "downloader/ui/tty/terminal.h"

namespace dravik {

namespace {

std::string ListText(const ControlState& combo) {
  if (combo.items.empty()) return "(none)";
  std::string text;
  for (size_t i = 0; i < combo.items.size(); ++i) {
    if (i != 0) text += ' ';
    if (static_cast<int>(i) == combo.selection) text += '*';
    text += combo.items[i].text;
  }
  return text;
}

std::string Buttons(const DialogState& dialog) {
  std::string text;
  const int defaultButton = dialog.DefaultButton();
  for (const auto& control : dialog.controls()) {
    if (control.resource->kind != ControlKind::PushButton) continue;
    if (!text.empty()) text += ' ';
    if (control.id() == defaultButton) text += '*';
    text += control.text;
  }
  return text;
}

// The line that shows a control's state, or nullopt for what line mode leaves out
// (icons, progress bars: their percentages are texts of their own).
std::optional<std::string> ControlLine(const DialogState& dialog, const ControlState& control) {
  const std::string tag(RoleName(control.resource->role));
  switch (control.resource->kind) {
    case ControlKind::Static:
      return tag + ": " + std::string(TrimBlanks(control.text));
    case ControlKind::ComboBox:
      return tag + ": " + ListText(control);
    case ControlKind::Edit:
      return tag + ": " + control.text;
    case ControlKind::PushButton:
      return tag + (control.enabled ? ": enabled" : ": disabled");
    case ControlKind::Icon:
    case ControlKind::ProgressBar:
      return std::nullopt;
  }
  (void)dialog;
  return std::nullopt;
}

// An answer as the log shows it: an empty line is Enter.
std::string Shown(const std::string& line) {
  return TrimBlanks(line).empty() ? "<enter>" : line;
}

}  // namespace

void LineFrontEnd::Print(const std::string& line) {
  out_ << line << '\n' << std::flush;
}

void LineFrontEnd::ShowDialog(DialogState& dialog) {
  Print("dialog " + std::string(DialogName(dialog.resource().id)));
  auto& printed = printed_[&dialog];
  printed.clear();
  for (const auto& control : dialog.controls()) {
    const auto line = ControlLine(dialog, control);
    if (!control.shown || !line) continue;
    if (control.id() != IDC_STATIC) printed[control.id()] = *line;
    // Buttons start enabled: they are listed together below, and later only a change.
    if (control.resource->kind != ControlKind::PushButton) Print(*line);
  }
  Print("buttons: " + Buttons(dialog));
}

void LineFrontEnd::PrintChange(DialogState& dialog, int controlId) {
  const ControlState* control = dialog.Find(controlId);
  if (control == nullptr) return;
  const auto line = ControlLine(dialog, *control);
  if (!line) return;
  auto& last = printed_[&dialog][controlId];
  if (last == *line) return;
  last = *line;
  Print(*line);
}

void LineFrontEnd::ControlChanged(DialogState& dialog, int controlId) {
  if (controlId != 0) PrintChange(dialog, controlId);
}

void LineFrontEnd::CloseDialog(DialogState& dialog, int result) {
  printed_.erase(&dialog);
  Print("end " + std::string(DialogName(dialog.resource().id)) + ": " + ResultName(result));
}

std::optional<std::string> LineFrontEnd::PeekLine(bool wait) {
  for (;;) {
    const size_t newline = input_.find('\n');
    if (newline != std::string::npos) {
      std::string line = input_.substr(0, newline);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (ended_) {
      if (input_.empty()) return std::nullopt;
      return input_;
    }
    const ReadStatus status = ReadAvailable(inFd_, input_, wait ? -1 : 0);
    if (status == ReadStatus::End) ended_ = true;
    if (status == ReadStatus::Nothing && !wait) return std::nullopt;
  }
}

void LineFrontEnd::PopLine() {
  const size_t newline = input_.find('\n');
  input_.erase(0, newline == std::string::npos ? input_.size() : newline + 1);
}

InputEvent LineFrontEnd::WaitForInput(DialogState& dialog) {
  for (;;) {
    const auto line = PeekLine(true);
    if (!line) {
      // A prompt's default button would only ask again.
      const InputEvent answer =
          TypesIntoField(dialog) ? InputEvent::Command(IDCANCEL) : DefaultAnswer(dialog);
      Print("answer: " + ResultName(static_cast<int>(answer.id)) + " (end of input)");
      return answer;
    }
    PopLine();
    const bool typed = TypesIntoField(dialog);
    const DialogAnswer answer = ParseDialogAnswer(dialog, *line);
    if (answer.kind == DialogAnswer::Kind::Unknown) {
      Print("unknown answer: " + *line);
      continue;
    }
    Print(typed ? std::string("answer: text entered") : "answer: " + Shown(*line));
    if (answer.kind == DialogAnswer::Kind::Event) return answer.event;
  }
}

std::optional<InputEvent> LineFrontEnd::PollInput(DialogState& dialog) {
  const auto line = PeekLine(false);
  if (!line || !IsPumpAnswer(dialog, *line)) return std::nullopt;
  PopLine();
  Print("answer: " + Shown(*line));
  const DialogAnswer answer = ParseDialogAnswer(dialog, *line);
  if (answer.kind != DialogAnswer::Kind::Event) return std::nullopt;
  return answer.event;
}

int LineFrontEnd::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) {
  const std::string tag = icon == BoxIcon::None ? "box" : "box " + std::string(IconName(icon));
  Print(tag + ": " + text + (buttons == BoxButtons::Ok ? " [OK]" : " [Yes/No]"));
  for (;;) {
    const auto line = PeekLine(true);
    if (!line) {
      const int answer = buttons == BoxButtons::Ok ? IDOK : IDYES;
      Print("answer: " + ResultName(answer) + " (end of input)");
      return answer;
    }
    PopLine();
    if (const auto answer = ParseBoxAnswer(buttons, *line)) {
      Print("answer: " + ResultName(*answer));
      return *answer;
    }
    Print("unknown answer: " + *line);
  }
}

void LineFrontEnd::Beep() {
  Print("beep");
}

}  // namespace dravik
