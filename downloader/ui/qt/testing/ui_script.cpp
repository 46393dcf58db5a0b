#include "downloader/ui/qt/testing/ui_script.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "downloader/ui/qt/qt_dialog_window.h"

namespace dravik {

UiScript::UiScript() : progress_(std::chrono::steady_clock::now()) {
  timer_.setInterval(0);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  timer_.start();
}

UiScript::~UiScript() {
  timer_.stop();
  EXPECT_TRUE(steps_.empty()) << "the script still waits for: " << Waiting();
}

UiScript& UiScript::Then(std::string name, Step step) {
  steps_.push_back({std::move(name), std::move(step)});
  progress_ = std::chrono::steady_clock::now();
  return *this;
}

UiScript& UiScript::Watch(std::function<void()> watcher) {
  watchers_.push_back(std::move(watcher));
  return *this;
}

void UiScript::Tick() {
  // A step that opens a nested loop of its own must not be re-entered from it.
  if (ticking_) return;
  ticking_ = true;
  for (const auto& watcher : watchers_) watcher();
  if (escaping_) {
    Escape();
  } else if (!steps_.empty()) {
    // The step may add further steps, so it leaves the queue before it runs.
    Named front = std::move(steps_.front());
    steps_.pop_front();
    if (front.step()) {
      progress_ = std::chrono::steady_clock::now();
    } else {
      steps_.push_front(std::move(front));
      if (std::chrono::steady_clock::now() - progress_ > std::chrono::seconds(kStallSeconds)) {
        ADD_FAILURE() << "the front end never showed: " << Waiting();
        escaping_ = true;
      }
    }
  }
  ticking_ = false;
}

void UiScript::Escape() {
  if (QMessageBox* box = ActiveBox()) {
    Click(box->defaultButton());
  } else if (QtDialogWindow* dialog = ActiveDialog()) {
    dialog->reject();
  }
}

QMessageBox* ActiveBox() {
  return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

QtDialogWindow* ActiveDialog() {
  return dynamic_cast<QtDialogWindow*>(QApplication::activeModalWidget());
}

QtDialogWindow* ActiveDialog(uint16_t dialogId) {
  QtDialogWindow* dialog = ActiveDialog();
  return dialog != nullptr && dialog->state().resource().id == dialogId ? dialog : nullptr;
}

void Click(QWidget* widget) {
  if (widget != nullptr) QTest::mouseClick(widget, Qt::LeftButton);
}

void RightClick(QWidget* widget) {
  const QPoint at(5, 5);
  QApplication::postEvent(
      widget, new QContextMenuEvent(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at)));
}

bool ChooseFromPopup(const std::string& text, std::vector<std::string>* items) {
  auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (popup == nullptr) return false;
  QAction* chosen = nullptr;
  for (QAction* action : popup->actions()) {
    const std::string label = action->isSeparator() ? "-" : action->text().toStdString();
    if (items != nullptr) items->push_back(label);
    if (chosen == nullptr && !action->isSeparator() && label.rfind(text, 0) == 0) chosen = action;
  }
  if (chosen == nullptr) {
    ADD_FAILURE() << "no item " << text << " in the menu";
    popup->close();
    return true;
  }
  popup->setActiveAction(chosen);
  QTest::keyClick(popup, Qt::Key_Return);
  return true;
}

}  // namespace dravik
