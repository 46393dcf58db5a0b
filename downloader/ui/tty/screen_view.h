#pragma once
// Drawing dialogs and message boxes as text for the terminal, as pure functions of
// their state so they can be checked line by line. A dialog unit becomes a quarter
// of a character cell across and an eighth of one down, so a dialog keeps the
// proportions of its resource: the download dialog is 50 columns by 14 lines.

#include <string>
#include <vector>

#include "downloader/platform/window.h"
#include "downloader/ui/dialog_state.h"

namespace dravik {

struct BoxView {
  std::string text;
  BoxButtons buttons = BoxButtons::Ok;
  BoxIcon icon = BoxIcon::None;
  int focus = 0;  // the button with the focus, 0 the first (OK or Yes)
};

// A control's cell rectangle inside the dialog's frame.
struct CellRect {
  int column;
  int row;
  int width;
};
CellRect ToCells(const ControlResource& control);

// The dialog in its frame, caption on top; spinner, when not 0, stands after the
// caption. A dialog with a list ends with a line that lists all its entries.
std::vector<std::string> RenderDialog(const DialogState& dialog, char spinner);

// A message box in its frame: icon mark, text, buttons.
std::vector<std::string> RenderBox(const BoxView& box);

// The keys that work now, for the line under everything.
std::string KeyHints(const DialogState& dialog);
std::string KeyHints(const BoxView& box);

// The buttons' labels as the terminal shows them: the focused or default one in
// angle brackets, a disabled one between dashes.
std::string ButtonLabel(std::string_view text, bool focused, bool enabled);

}  // namespace dravik
