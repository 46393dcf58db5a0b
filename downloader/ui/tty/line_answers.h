#pragma once
// The answers a script gives the terminal front end in line mode, one per line.
// Words are matched without regard to case; "<key>" names a key.
//
//   dialogs: ""/"<enter>" the default button, "ok", "cancel"/"<esc>", "help"/"<f1>",
//            "about"/"<f2>", "<up>"/"<down>", a list entry ("COM3") selects it;
//            in a dialog with a text field every other line is typed into the
//            field and OK pressed ("<esc>" still cancels).
//   boxes:   ""/"<enter>" the default button (OK, Yes), "ok", "yes"/"y", "no"/"n",
//            "<esc>" (No, or OK in an OK box).

#include <optional>
#include <string_view>

#include "downloader/platform/window.h"
#include "downloader/ui/dialog_state.h"
#include "downloader/ui/frontend.h"

namespace dravik {

struct DialogAnswer {
  enum class Kind {
    Event,    // deliver event
    Nothing,  // understood, but does nothing here (Enter without a default button)
    Unknown,  // not an answer for this dialog
  };
  Kind kind = Kind::Unknown;
  InputEvent event;
};

// What the line does on the dialog; applies it to the state (a list selection,
// the field's text) as the keys would.
DialogAnswer ParseDialogAnswer(DialogState& dialog, std::string_view line);

// Whether the line is one that a dialog takes while the download runs (Cancel,
// help, About); other lines wait for the next box or dialog that asks.
bool IsPumpAnswer(const DialogState& dialog, std::string_view line);

// IDOK, IDYES or IDNO, or nullopt for a line that does not answer the box.
std::optional<int> ParseBoxAnswer(BoxButtons buttons, std::string_view line);

// Whether the dialog's focus is in a text field, where lines are text.
bool TypesIntoField(const DialogState& dialog);

}  // namespace dravik
