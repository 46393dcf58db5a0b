#pragma once
// The dialog manager's keyboard: what a key does on a dialog. Enter presses the
// default button, Escape is Cancel, F1 asks for help, F2 opens the About item of
// the system menu, the arrows move the list's selection, printable characters and
// Backspace edit the focused field. Front ends without their own dialog manager
// (the terminal) use it as it stands.

#include <optional>

#include "downloader/ui/dialog_state.h"
#include "downloader/ui/frontend.h"

namespace dravik {

enum class Key {
  Enter,
  Escape,
  Help,
  About,
  Up,
  Down,
  Left,
  Right,
  Tab,
  Home,
  End,
  Backspace,
  Character,
};

struct KeyPress {
  Key key = Key::Character;
  char character = 0;  // Key::Character: a printable ASCII character

  bool operator==(const KeyPress&) const = default;
};

// Applies the key to the dialog (a list's selection, a field's text) and returns the
// event it raises, or nullopt for a key that does nothing here. Outside a field
// '?' is help and 'a' is About, for terminals that keep F1 and F2 to themselves.
std::optional<InputEvent> ApplyKey(DialogState& dialog, const KeyPress& press);

// The event that stands for a plain Enter: the default button, or Cancel when the
// dialog has none (what a script's end of input answers).
InputEvent DefaultAnswer(const DialogState& dialog);

}  // namespace dravik
