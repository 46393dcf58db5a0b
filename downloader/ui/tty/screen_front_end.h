#pragma once
// The terminal front end for a person at a terminal: the open dialogs drawn one
// under the other, a message box under them, and a line of the keys that work,
// redrawn in place with ANSI cursor movements at every change. Keys are read only
// when the program asks: while a dialog or box waits, and when the download pumps
// its messages. The hourglass is a spinner after the top dialog's caption.

#include <chrono>
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "downloader/ui/frontend.h"
#include "downloader/ui/keys.h"
#include "downloader/ui/tty/screen_view.h"

namespace dravik {

class ScreenFrontEnd final : public FrontEnd {
 public:
  // sizeFd: the terminal asked for its height (-1: 24 lines).
  ScreenFrontEnd(int inFd, std::ostream& out, int sizeFd = -1)
      : inFd_(inFd), sizeFd_(sizeFd), out_(out) {}

  void ShowDialog(DialogState& dialog) override;
  void CloseDialog(DialogState& dialog, int result) override;
  void ControlChanged(DialogState& dialog, int controlId) override;
  // A hung-up terminal answers Cancel.
  InputEvent WaitForInput(DialogState& dialog) override;
  std::optional<InputEvent> PollInput(DialogState& dialog) override;
  int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void Beep() override;

  // The picture as last drawn, one string per line, without escapes.
  const std::vector<std::string>& picture() const { return picture_; }

 private:
  std::optional<KeyPress> NextKey(bool wait);
  void Decode(bool final);
  // The answer for a key in a box, or nullopt to keep waiting.
  std::optional<int> BoxKey(BoxView& box, const KeyPress& press);
  void Redraw();
  void Spin();

  int inFd_;
  int sizeFd_;
  std::ostream& out_;
  std::string bytes_;
  std::deque<KeyPress> keys_;
  bool ended_ = false;
  std::vector<DialogState*> dialogs_;  // bottom first
  std::optional<BoxView> box_;
  int waiting_ = 0;
  size_t spinnerStep_ = 0;
  std::chrono::steady_clock::time_point lastSpin_{};
  std::vector<std::string> picture_;
  size_t drawnLines_ = 0;
};

}  // namespace dravik
