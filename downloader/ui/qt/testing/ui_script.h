#pragma once
// Drives the Qt front end from a test as a user would, from inside the program's
// own event loops: a zero-interval timer runs at every pass of whichever loop is
// running (a dialog waiting, a message box, the download's pump), calls the
// watchers, then tries the first step that is not done yet. A step acts when it
// finds what it waits for and returns true; the next one is tried on the next pass.
//
// A script that stops making progress for kStallSeconds fails the test and then
// escapes: it answers every box with its default button and cancels every
// dialog, so a broken front end ends the test instead of hanging it.

#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QMessageBox;
class QWidget;

namespace dravik {

class QtDialogWindow;

class UiScript {
 public:
  using Step = std::function<bool()>;
  static constexpr int kStallSeconds = 60;

  UiScript();
  ~UiScript();
  UiScript(const UiScript&) = delete;
  UiScript& operator=(const UiScript&) = delete;

  // name: what the step waits for, for the failure report.
  UiScript& Then(std::string name, Step step);
  UiScript& Watch(std::function<void()> watcher);

  bool Done() const { return steps_.empty(); }
  // The step still waiting, or empty.
  std::string Waiting() const { return steps_.empty() ? std::string() : steps_.front().name; }

 private:
  struct Named {
    std::string name;
    Step step;
  };
  void Tick();
  void Escape();

  QTimer timer_;
  std::deque<Named> steps_;
  std::vector<std::function<void()>> watchers_;
  std::chrono::steady_clock::time_point progress_;
  bool ticking_ = false;
  bool escaping_ = false;
};

// The modal widgets on top, if they are of that kind.
QMessageBox* ActiveBox();
QtDialogWindow* ActiveDialog();
// The active dialog when it is the dialog with this template id.
QtDialogWindow* ActiveDialog(uint16_t dialogId);

// A left click in the middle of the widget, through the window system.
void Click(QWidget* widget);

// A right click on the widget, delivered by the event loop as the window system's
// would be, so that the context menu it opens runs its own loop outside the step.
void RightClick(QWidget* widget);

// Chooses the item of the open popup menu whose text starts with text, with the
// keyboard; false while no menu is open. Every item's text (a separator as "-")
// goes into items when given.
bool ChooseFromPopup(const std::string& text, std::vector<std::string>* items = nullptr);

}  // namespace dravik
