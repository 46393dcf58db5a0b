#include "downloader/ui/qt/qt_front_end.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QMessageBox>
#include <utility>

#include "downloader/ui/qt/message_box.h"
#include "downloader/ui/qt/qt_dialog_window.h"

namespace dravik {

namespace {

// The arrow over the hourglass while the user has to answer something.
class ArrowCursor {
 public:
  explicit ArrowCursor(bool needed) : pushed_(needed) {
    if (pushed_) QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  }
  ~ArrowCursor() {
    if (pushed_) QGuiApplication::restoreOverrideCursor();
  }
  ArrowCursor(const ArrowCursor&) = delete;
  ArrowCursor& operator=(const ArrowCursor&) = delete;

 private:
  bool pushed_;
};

}  // namespace

QtFrontEnd::QtFrontEnd() = default;

QtFrontEnd::~QtFrontEnd() {
  // Top first: a window is the parent of the ones shown over it.
  while (!shown_.empty()) {
    if (shown_.back().arrow) QGuiApplication::restoreOverrideCursor();
    shown_.pop_back();
  }
  while (waitCursor_ > 0) EndWaitCursor();
}

QtFrontEnd::Shown* QtFrontEnd::Find(const DialogState& dialog) {
  for (Shown& shown : shown_) {
    if (shown.state == &dialog) return &shown;
  }
  return nullptr;
}

const QtFrontEnd::Shown* QtFrontEnd::Find(const DialogState& dialog) const {
  return const_cast<QtFrontEnd*>(this)->Find(dialog);
}

QtDialogWindow* QtFrontEnd::WindowOf(const DialogState& dialog) const {
  const Shown* shown = Find(dialog);
  return shown != nullptr ? shown->window.get() : nullptr;
}

QtDialogWindow* QtFrontEnd::TopWindow() const {
  return shown_.empty() ? nullptr : shown_.back().window.get();
}

void QtFrontEnd::ShowDialog(DialogState& dialog) {
  auto window = std::make_unique<QtDialogWindow>(
      dialog, TopWindow(), [this, &dialog](const InputEvent& event) { Deliver(dialog, event); });
  const bool arrow = waitCursor_ > 0;
  if (arrow) QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  window->show();
  window->activateWindow();
  shown_.push_back({&dialog, std::move(window), {}, arrow});
  // Up and drawn before the dialog's posted messages run.
  QCoreApplication::processEvents();
}

void QtFrontEnd::CloseDialog(DialogState& dialog, int result) {
  (void)result;
  for (auto it = shown_.begin(); it != shown_.end(); ++it) {
    if (it->state != &dialog) continue;
    it->window->CloseForGood();
    if (it->arrow) QGuiApplication::restoreOverrideCursor();
    shown_.erase(it);
    return;
  }
}

void QtFrontEnd::ControlChanged(DialogState& dialog, int controlId) {
  if (QtDialogWindow* window = WindowOf(dialog)) window->Refresh(controlId);
}

void QtFrontEnd::Deliver(DialogState& dialog, const InputEvent& event) {
  Shown* shown = Find(dialog);
  if (shown == nullptr) return;
  shown->input.push_back(event);
  woken_ = true;
  if (waiting_ != nullptr) waiting_->quit();
}

std::optional<InputEvent> QtFrontEnd::Take(DialogState& dialog) {
  Shown* shown = Find(dialog);
  if (shown == nullptr || shown->input.empty()) return std::nullopt;
  const InputEvent event = shown->input.front();
  shown->input.pop_front();
  return event;
}

InputEvent QtFrontEnd::WaitForInput(DialogState& dialog) {
  for (;;) {
    if (auto event = Take(dialog)) return *event;
    if (Find(dialog) == nullptr) return InputEvent::Command(IDCANCEL);
    QEventLoop loop;
    QEventLoop* outer = std::exchange(waiting_, &loop);
    woken_ = false;
    loop.exec();
    waiting_ = outer;
    // Ended by anything but input of ours: the application is quitting.
    if (!woken_) return InputEvent::Command(IDCANCEL);
  }
}

std::optional<InputEvent> QtFrontEnd::PollInput(DialogState& dialog) {
  if (auto event = Take(dialog)) return event;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return Take(dialog);
}

int QtFrontEnd::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) {
  QMessageBox box(TopWindow());
  SetUpMessageBox(box, text, buttons, icon);
  const ArrowCursor arrow(waitCursor_ > 0);
  return DialogResultOf(box.exec(), buttons);
}

void QtFrontEnd::BeginWaitCursor() {
  ++waitCursor_;
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void QtFrontEnd::EndWaitCursor() {
  if (waitCursor_ == 0) return;
  --waitCursor_;
  QGuiApplication::restoreOverrideCursor();
}

void QtFrontEnd::Beep() {
  ++beeps_;
  QApplication::beep();
}

}  // namespace dravik
