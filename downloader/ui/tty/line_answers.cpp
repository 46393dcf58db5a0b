#include "downloader/ui/tty/line_answers.h"

#include <string>

#include "downloader/platform/ascii.h"
#include "downloader/ui/keys.h"

namespace dravik {

namespace {

struct Word {
  std::string_view text;
  Key key;
};

// Lines that stand for a key in every dialog.
constexpr Word kKeyWords[] = {
    {"", Key::Enter},     {"<enter>", Key::Enter}, {"<esc>", Key::Escape}, {"<f1>", Key::Help},
    {"<f2>", Key::About}, {"<up>", Key::Up},       {"<down>", Key::Down},  {"cancel", Key::Escape},
    {"help", Key::Help},  {"about", Key::About},
};

std::string_view Trim(std::string_view line) {
  return TrimBlanks(line);
}

std::optional<Key> KeyWord(std::string_view line, bool inField) {
  for (const auto& word : kKeyWords) {
    // In a field only the bracketed names are keys; the rest may be text.
    const bool bracketed = !word.text.empty() && word.text.front() == '<';
    if (inField && !bracketed) continue;
    if (EqualsIgnoreCase(line, word.text)) return word.key;
  }
  return std::nullopt;
}

DialogAnswer FromKey(DialogState& dialog, Key key) {
  const auto event = ApplyKey(dialog, {key, 0});
  if (!event) return {DialogAnswer::Kind::Nothing, {}};
  return {DialogAnswer::Kind::Event, *event};
}

DialogAnswer SelectEntry(DialogState& dialog, std::string_view line) {
  for (auto& control : dialog.controls()) {
    if (control.resource->kind != ControlKind::ComboBox) continue;
    for (size_t i = 0; i < control.items.size(); ++i) {
      if (!EqualsIgnoreCase(control.items[i].text, line)) continue;
      dialog.ComboSetSelection(control.id(), static_cast<int>(i));
      return {DialogAnswer::Kind::Event,
              InputEvent::Command(static_cast<uint32_t>(control.id()), CBN_SELCHANGE)};
    }
  }
  return {DialogAnswer::Kind::Unknown, {}};
}

}  // namespace

bool TypesIntoField(const DialogState& dialog) {
  const ControlState* focus = dialog.Find(dialog.focus());
  return focus != nullptr && focus->resource->kind == ControlKind::Edit && focus->enabled;
}

DialogAnswer ParseDialogAnswer(DialogState& dialog, std::string_view line) {
  const bool inField = TypesIntoField(dialog);
  const std::string_view word = Trim(line);
  if (const auto key = KeyWord(word, inField)) return FromKey(dialog, *key);
  if (inField) {
    dialog.SetText(dialog.focus(), line);
    return FromKey(dialog, Key::Enter);
  }
  if (EqualsIgnoreCase(word, "ok")) {
    if (dialog.Find(IDOK) == nullptr) return {DialogAnswer::Kind::Unknown, {}};
    return {DialogAnswer::Kind::Event, InputEvent::Command(IDOK)};
  }
  return SelectEntry(dialog, word);
}

bool IsPumpAnswer(const DialogState& dialog, std::string_view line) {
  const auto key = KeyWord(Trim(line), TypesIntoField(dialog));
  return key == Key::Escape || key == Key::Help || key == Key::About;
}

std::optional<int> ParseBoxAnswer(BoxButtons buttons, std::string_view line) {
  const std::string_view word = Trim(line);
  const int first = buttons == BoxButtons::Ok ? IDOK : IDYES;
  if (word.empty() || EqualsIgnoreCase(word, "<enter>")) return first;
  if (EqualsIgnoreCase(word, "<esc>")) return buttons == BoxButtons::Ok ? IDOK : IDNO;
  if (buttons == BoxButtons::Ok) {
    return EqualsIgnoreCase(word, "ok") ? std::optional<int>(IDOK) : std::nullopt;
  }
  if (EqualsIgnoreCase(word, "yes") || EqualsIgnoreCase(word, "y")) return IDYES;
  if (EqualsIgnoreCase(word, "no") || EqualsIgnoreCase(word, "n")) return IDNO;
  return std::nullopt;
}

}  // namespace dravik
