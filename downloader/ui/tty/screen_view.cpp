#include "downloader/ui/tty/screen_view.h"

#include <algorithm>

#include "downloader/resources/string_table.h"
#include "downloader/ui/messages.h"

namespace dravik {

namespace {

constexpr int kComboEditHeight = 12;  // the closed combo box; the rest is its list

// Removes the '&' that marks a mnemonic ("&&" is a real '&').
std::string WithoutMnemonic(std::string_view text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    plain.push_back(text[i]);
  }
  return plain;
}

std::string Fit(std::string_view text, int width, uint32_t style) {
  if (width <= 0) return {};
  std::string cut(text.substr(0, static_cast<size_t>(width)));
  const int room = width - static_cast<int>(cut.size());
  int left = 0;
  if ((style & kCentred) != 0) left = room / 2;
  if ((style & kRightAligned) != 0) left = room;
  return std::string(static_cast<size_t>(left), ' ') + cut +
         std::string(static_cast<size_t>(room - left), ' ');
}

std::string Bar(const ProgressBarState& bar, int width) {
  const int inside = std::max(width - 2, 0);
  const int filled = inside * bar.Percent() / 100;
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(inside - filled), '.') + "]";
}

std::string Combo(const ControlState& combo, int width) {
  std::string shown;
  if (combo.selection >= 0) shown = combo.items[static_cast<size_t>(combo.selection)].text;
  return "[" + Fit(shown, width - 4, kStyleNone) + " v]";
}

std::string Field(const ControlState& field, bool focused, int width) {
  std::string text = field.text + (focused ? "_" : "");
  return "[" + Fit(text, width - 2, kStyleNone) + "]";
}

std::string ControlCells(const DialogState& dialog, const ControlState& control, int width) {
  const uint32_t style = control.resource->style;
  switch (control.resource->kind) {
    case ControlKind::Static:
      return Fit(WithoutMnemonic(control.text), width, style);
    case ControlKind::Icon:
      return "[D]";
    case ControlKind::ComboBox:
      return Combo(control, width);
    case ControlKind::PushButton:
      return Fit(ButtonLabel(WithoutMnemonic(control.text), (style & kDefaultButton) != 0,
                             control.enabled),
                 width, kCentred);
    case ControlKind::ProgressBar:
      return Bar(control.bar, width);
    case ControlKind::Edit:
      return Field(control, dialog.focus() == control.id(), width);
  }
  return {};
}

void Put(std::string& row, int column, const std::string& cells) {
  if (column < 0 || column >= static_cast<int>(row.size())) return;
  const size_t room = row.size() - static_cast<size_t>(column);
  row.replace(static_cast<size_t>(column), std::min(room, cells.size()), cells, 0,
              std::min(room, cells.size()));
}

std::vector<std::string> Frame(const std::string& caption, std::vector<std::string> body,
                               int width) {
  std::string top = "+-- " + caption + " ";
  if (static_cast<int>(top.size()) < width + 2) top += std::string(width + 1 - top.size(), '-');
  top += "+";
  std::vector<std::string> lines{top};
  for (auto& row : body) lines.push_back("|" + row + "|");
  lines.push_back("+" + std::string(static_cast<size_t>(width), '-') + "+");
  return lines;
}

std::string ListLine(const ControlState& combo) {
  if (combo.items.empty()) return "  Ports: none registered";
  std::string line = "  Ports:";
  for (size_t i = 0; i < combo.items.size(); ++i) {
    const bool selected = static_cast<int>(i) == combo.selection;
    line += selected ? " [" + combo.items[i].text + "]" : " " + combo.items[i].text;
  }
  return line;
}

void Hint(std::string& hints, const std::string& hint) {
  if (!hints.empty()) hints += "   ";
  hints += hint;
}

char IconMark(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None:
      return ' ';
    case BoxIcon::Exclamation:
      return '!';
    case BoxIcon::Information:
      return 'i';
    case BoxIcon::Question:
      return '?';
  }
  return ' ';
}

// A static text wider than its rectangle widens it on the side its alignment
// leaves free (right-aligned to the left, centred both ways, left-aligned to the
// right), within the dialog, so the text is never cut: the sequence writes
// " 100%" into a label made for four characters.
CellRect Widened(CellRect cells, const std::string& text, uint32_t style, int dialogWidth) {
  const int extra = static_cast<int>(text.size()) - cells.width;
  if (extra <= 0) return cells;
  if ((style & kRightAligned) != 0) {
    cells.column -= extra;
  } else if ((style & kCentred) != 0) {
    cells.column -= extra / 2;
  }
  cells.width = std::min(static_cast<int>(text.size()), dialogWidth);
  cells.column = std::clamp(cells.column, 0, dialogWidth - cells.width);
  return cells;
}

}  // namespace

std::string ButtonLabel(std::string_view text, bool focused, bool enabled) {
  if (!enabled) return "- " + std::string(text) + " -";
  if (focused) return "< " + std::string(text) + " >";
  return "[ " + std::string(text) + " ]";
}

CellRect ToCells(const ControlResource& control) {
  const int height = control.kind == ControlKind::ComboBox ? kComboEditHeight : control.rect.h;
  return {control.rect.x / 4, (control.rect.y + height / 2) / 8, control.rect.w / 4};
}

std::vector<std::string> RenderDialog(const DialogState& dialog, char spinner) {
  const DialogResource& resource = dialog.resource();
  const int width = resource.width / 4;
  const int height = resource.height / 8;
  std::vector<std::string> body(static_cast<size_t>(height),
                                std::string(static_cast<size_t>(width), ' '));
  const ControlState* list = nullptr;
  for (const auto& control : dialog.controls()) {
    if (!control.shown) continue;
    if (control.resource->kind == ControlKind::ComboBox) list = &control;
    CellRect cells = ToCells(*control.resource);
    if (cells.row < 0 || cells.row >= height) continue;
    if (control.resource->kind == ControlKind::Static) {
      cells = Widened(cells, WithoutMnemonic(control.text), control.resource->style, width);
    }
    Put(body[static_cast<size_t>(cells.row)], cells.column,
        ControlCells(dialog, control, cells.width));
  }
  std::string caption(resource.caption);
  if (spinner != 0) caption += std::string(" ") + spinner;
  std::vector<std::string> lines = Frame(caption, std::move(body), width);
  if (list != nullptr) lines.push_back(ListLine(*list));
  return lines;
}

std::vector<std::string> RenderBox(const BoxView& box) {
  const std::string first = box.buttons == BoxButtons::Ok ? "OK" : "Yes";
  std::string buttons = ButtonLabel(first, box.focus == 0, true);
  if (box.buttons == BoxButtons::YesNo) buttons += "   " + ButtonLabel("No", box.focus == 1, true);
  const std::string text = std::string("(") + IconMark(box.icon) + ")  " + box.text;
  const int width =
      std::max<int>({30, static_cast<int>(text.size()) + 4, static_cast<int>(buttons.size()) + 4});
  std::vector<std::string> body{
      std::string(static_cast<size_t>(width), ' '),
      Fit(text, width - 4, kStyleNone),
      std::string(static_cast<size_t>(width), ' '),
      Fit(buttons, width, kCentred),
  };
  body[1] = "  " + body[1] + "  ";
  return Frame(std::string(LoadStringView(IDS_APP_TITLE)), std::move(body), width);
}

std::string KeyHints(const DialogState& dialog) {
  std::string hints;
  if (const int button = dialog.DefaultButton()) {
    const ControlState* control = dialog.Find(button);
    Hint(hints, "Enter " + WithoutMnemonic(control->text));
  }
  const ControlState* cancel = dialog.Find(IDCANCEL);
  if (cancel == nullptr) {
    Hint(hints, "Esc close");
  } else if (cancel->enabled) {
    Hint(hints, "Esc Cancel");
  }
  for (const auto& control : dialog.controls()) {
    if (control.resource->kind == ControlKind::ComboBox && !control.items.empty()) {
      Hint(hints, "Up/Down choose");
    }
  }
  if (dialog.helpAvailable()) Hint(hints, "F1 or ? help");
  if (dialog.HasSystemMenuItem(IDM_ABOUTBOX)) Hint(hints, "F2 or a About");
  return hints;
}

std::string KeyHints(const BoxView& box) {
  if (box.buttons == BoxButtons::Ok) return "Enter OK";
  return "Enter chooses   Left/Right/Tab move   y Yes   n or Esc No";
}

}  // namespace dravik
