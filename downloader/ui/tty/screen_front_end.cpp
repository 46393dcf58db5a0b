#include "downloader/ui/tty/screen_front_end.h"

#include <algorithm>

#include "downloader/ui/dialog_state.h"
#include "downloader/ui/tty/key_decoder.h"
#include "downloader/ui/tty/terminal.h"

namespace dravik {

namespace {
// How long the rest of an escape sequence may take after its Escape byte.
constexpr int kSequenceWaitMs = 30;
constexpr char kSpinner[] = {'|', '/', '-', '\\'};
constexpr auto kSpinInterval = std::chrono::milliseconds(120);
}  // namespace

void ScreenFrontEnd::ShowDialog(DialogState& dialog) {
  dialogs_.push_back(&dialog);
  Redraw();
}

void ScreenFrontEnd::CloseDialog(DialogState& dialog, int result) {
  (void)result;
  dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), &dialog), dialogs_.end());
  // The last dialog's picture stays on the screen; the next one takes its place.
  if (!dialogs_.empty()) Redraw();
}

void ScreenFrontEnd::ControlChanged(DialogState& dialog, int controlId) {
  (void)dialog;
  (void)controlId;
  Redraw();
}

void ScreenFrontEnd::Redraw() {
  const int rows = sizeFd_ >= 0 ? TerminalRows(sizeFd_, 24) : 24;
  std::vector<std::vector<std::string>> blocks;
  for (size_t i = 0; i < dialogs_.size(); ++i) {
    const bool top = i + 1 == dialogs_.size();
    const char spinner = top && waiting_ > 0 ? kSpinner[spinnerStep_ % 4] : 0;
    blocks.push_back(RenderDialog(*dialogs_[i], spinner));
  }
  if (box_) blocks.push_back(RenderBox(*box_));
  std::string hints;
  if (box_) {
    hints = KeyHints(*box_);
  } else if (!dialogs_.empty()) {
    hints = KeyHints(*dialogs_.back());
  }
  // What does not fit goes from the bottom of the stack; the top always shows.
  auto height = [&] {
    size_t lines = 1;
    for (const auto& block : blocks) lines += block.size();
    return lines;
  };
  while (blocks.size() > 1 && height() > static_cast<size_t>(rows)) blocks.erase(blocks.begin());

  std::vector<std::string> picture;
  for (const auto& block : blocks) picture.insert(picture.end(), block.begin(), block.end());
  picture.push_back("  " + hints);

  std::string frame;
  if (drawnLines_ > 0) frame += "\r\x1b[" + std::to_string(drawnLines_) + "F";
  for (const auto& line : picture) frame += line + "\x1b[K\n";
  frame += "\x1b[J";
  out_ << frame << std::flush;
  drawnLines_ = picture.size();
  picture_ = std::move(picture);
}

void ScreenFrontEnd::Decode(bool final) {
  for (const KeyPress& press : DecodeKeys(bytes_, final)) keys_.push_back(press);
}

std::optional<KeyPress> ScreenFrontEnd::NextKey(bool wait) {
  for (;;) {
    if (!keys_.empty()) {
      const KeyPress press = keys_.front();
      keys_.pop_front();
      return press;
    }
    if (ended_) return std::nullopt;
    const ReadStatus status = ReadAvailable(inFd_, bytes_, wait ? -1 : 0);
    if (status == ReadStatus::End) ended_ = true;
    Decode(ended_);
    if (keys_.empty() && !bytes_.empty() && !ended_) {
      // A lone Escape, or the start of a sequence: give the rest a moment.
      const bool more = ReadAvailable(inFd_, bytes_, kSequenceWaitMs) == ReadStatus::Data;
      Decode(!more);
    }
    if (keys_.empty() && !wait && status != ReadStatus::Data) return std::nullopt;
  }
}

InputEvent ScreenFrontEnd::WaitForInput(DialogState& dialog) {
  for (;;) {
    const auto press = NextKey(true);
    if (!press) return InputEvent::Command(IDCANCEL);
    if (const auto event = ApplyKey(dialog, *press)) return *event;
  }
}

std::optional<InputEvent> ScreenFrontEnd::PollInput(DialogState& dialog) {
  Spin();
  for (;;) {
    const auto press = NextKey(false);
    if (!press) return std::nullopt;
    if (const auto event = ApplyKey(dialog, *press)) return event;
  }
}

std::optional<int> ScreenFrontEnd::BoxKey(BoxView& box, const KeyPress& press) {
  const bool yesNo = box.buttons == BoxButtons::YesNo;
  const int focused = yesNo ? (box.focus == 0 ? IDYES : IDNO) : IDOK;
  switch (press.key) {
    case Key::Enter:
      return focused;
    case Key::Escape:
      return yesNo ? IDNO : IDOK;
    case Key::Left:
    case Key::Right:
    case Key::Tab:
      if (yesNo) box.focus = 1 - box.focus;
      return std::nullopt;
    case Key::Character:
      if (yesNo && (press.character == 'y' || press.character == 'Y')) return IDYES;
      if (yesNo && (press.character == 'n' || press.character == 'N')) return IDNO;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

int ScreenFrontEnd::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) {
  box_ = BoxView{text, buttons, icon, 0};
  Redraw();
  int answer = buttons == BoxButtons::Ok ? IDOK : IDYES;
  for (;;) {
    const auto press = NextKey(true);
    if (!press) break;
    const int focus = box_->focus;
    if (const auto chosen = BoxKey(*box_, *press)) {
      answer = *chosen;
      break;
    }
    if (box_->focus != focus) Redraw();
  }
  box_.reset();
  Redraw();
  return answer;
}

void ScreenFrontEnd::BeginWaitCursor() {
  ++waiting_;
  Redraw();
}

void ScreenFrontEnd::EndWaitCursor() {
  if (waiting_ > 0) --waiting_;
  Redraw();
}

void ScreenFrontEnd::Spin() {
  if (waiting_ == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastSpin_ < kSpinInterval) return;
  lastSpin_ = now;
  ++spinnerStep_;
  Redraw();
}

void ScreenFrontEnd::Beep() {
  out_ << '\a' << std::flush;
}

}  // namespace dravik
