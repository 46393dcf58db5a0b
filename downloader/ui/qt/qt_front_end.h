#pragma once
// The Qt 6 Widgets front end. Each dialog the logic runs becomes a modal window
// over the ones shown before it; the logic's modal loop waits in a nested Qt event
// loop until the user acts, and the message pump of a download is one pass over
// the pending events (QCoreApplication::processEvents), so the window answers
// exactly as often as the download pumps, on the one thread there is. Message
// boxes are QMessageBoxes; the hourglass is an override cursor, with the arrow
// back over any box or dialog shown meanwhile. Needs a QApplication.

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "downloader/ui/frontend.h"

class QEventLoop;

namespace dravik {

class QtDialogWindow;

class QtFrontEnd final : public FrontEnd {
 public:
  QtFrontEnd();
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  void ShowDialog(DialogState& dialog) override;
  void CloseDialog(DialogState& dialog, int result) override;
  void ControlChanged(DialogState& dialog, int controlId) override;
  // An event loop ended from outside (the application quitting) answers Cancel.
  InputEvent WaitForInput(DialogState& dialog) override;
  std::optional<InputEvent> PollInput(DialogState& dialog) override;
  int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void Beep() override;

  // The window of a shown dialog, or null; the top one, or null when none is shown.
  QtDialogWindow* WindowOf(const DialogState& dialog) const;
  QtDialogWindow* TopWindow() const;
  int beeps() const { return beeps_; }
  bool waitCursorOn() const { return waitCursor_ > 0; }

 private:
  struct Shown {
    DialogState* state;
    std::unique_ptr<QtDialogWindow> window;
    std::deque<InputEvent> input;
    bool arrow;  // pushed the arrow over the hourglass
  };

  Shown* Find(const DialogState& dialog);
  const Shown* Find(const DialogState& dialog) const;
  void Deliver(DialogState& dialog, const InputEvent& event);
  std::optional<InputEvent> Take(DialogState& dialog);

  std::vector<Shown> shown_;       // bottom first
  QEventLoop* waiting_ = nullptr;  // the loop WaitForInput runs, if any
  bool woken_ = false;
  int waitCursor_ = 0;
  int beeps_ = 0;
};

}  // namespace dravik
