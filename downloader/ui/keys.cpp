#include "downloader/ui/keys.h"

namespace dravik {

namespace {

ControlState* FirstOfKind(DialogState& dialog, ControlKind kind) {
  for (auto& control : dialog.controls()) {
    if (control.resource->kind == kind && control.shown) return &control;
  }
  return nullptr;
}

ControlState* FocusedField(DialogState& dialog) {
  ControlState* control = dialog.Find(dialog.focus());
  return control != nullptr && control->resource->kind == ControlKind::Edit && control->enabled
             ? control
             : nullptr;
}

std::optional<InputEvent> MoveSelection(DialogState& dialog, Key key) {
  ControlState* list = FirstOfKind(dialog, ControlKind::ComboBox);
  if (list == nullptr || list->items.empty() || !list->enabled) return std::nullopt;
  const int last = static_cast<int>(list->items.size()) - 1;
  const int current = list->selection;
  int next = current;
  switch (key) {
    case Key::Up:
      next = current <= 0 ? 0 : current - 1;
      break;
    case Key::Down:
      next = current < 0 ? 0 : (current < last ? current + 1 : last);
      break;
    case Key::Home:
      next = 0;
      break;
    case Key::End:
      next = last;
      break;
    default:
      break;
  }
  if (next == current) return std::nullopt;
  dialog.ComboSetSelection(list->id(), next);
  return InputEvent::Command(static_cast<uint32_t>(list->id()), CBN_SELCHANGE);
}

std::optional<InputEvent> Edit(DialogState& dialog, ControlState& field, const KeyPress& press) {
  std::string text = field.text;
  if (press.key == Key::Backspace) {
    if (text.empty()) return std::nullopt;
    text.pop_back();
  } else {
    const uint16_t limit = field.resource->textLimit;
    if (limit != 0 && text.size() >= limit) return std::nullopt;
    text.push_back(press.character);
  }
  dialog.SetText(field.id(), text);
  return std::nullopt;
}

std::optional<InputEvent> About(const DialogState& dialog) {
  if (!dialog.HasSystemMenuItem(IDM_ABOUTBOX)) return std::nullopt;
  return InputEvent::SysCommand(IDM_ABOUTBOX);
}

}  // namespace

InputEvent DefaultAnswer(const DialogState& dialog) {
  const int button = dialog.DefaultButton();
  return InputEvent::Command(static_cast<uint32_t>(button != 0 ? button : IDCANCEL));
}

std::optional<InputEvent> ApplyKey(DialogState& dialog, const KeyPress& press) {
  switch (press.key) {
    case Key::Enter:
      if (dialog.DefaultButton() == 0) return std::nullopt;
      return DefaultAnswer(dialog);
    case Key::Escape:
      return InputEvent::Command(IDCANCEL);
    case Key::Help:
      return InputEvent::Help();
    case Key::About:
      return About(dialog);
    case Key::Up:
    case Key::Down:
    case Key::Home:
    case Key::End:
      return MoveSelection(dialog, press.key);
    case Key::Left:
    case Key::Right:
    case Key::Tab:
      return std::nullopt;
    case Key::Backspace:
    case Key::Character:
      break;
  }
  if (ControlState* field = FocusedField(dialog)) return Edit(dialog, *field, press);
  if (press.key != Key::Character) return std::nullopt;
  if (press.character == '?') return InputEvent::Help();
  if (press.character == 'a' || press.character == 'A') return About(dialog);
  return std::nullopt;
}

}  // namespace dravik
