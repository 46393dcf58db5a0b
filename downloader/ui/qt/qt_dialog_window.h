#pragma once
// One dialog on the screen: a QDialog built from a dialog's state, with a widget
// per control placed in dialog units of the dialog font. It shows the state and
// hands what the user does to its input sink as the dialog manager would: buttons
// as commands, a new list selection as CBN_SELCHANGE, Escape as Cancel, the close
// button as the system menu's Close, F1 as a help request, and the items of the
// system menu from the dialog's context menu (right click, the menu key, Shift+F10).

#include <QDialog>
#include <functional>
#include <vector>

#include "downloader/ui/dialog_state.h"
#include "downloader/ui/frontend.h"
#include "downloader/ui/qt/dialog_units.h"

class QMenu;

namespace dravik {

class QtDialogWindow final : public QDialog {
 public:
  using InputSink = std::function<void(const InputEvent&)>;

  // parent: the dialog this one is shown over, or null.
  QtDialogWindow(DialogState& state, QWidget* parent, InputSink sink);

  DialogState& state() { return state_; }
  DialogBaseUnits baseUnits() const { return base_; }

  // Redraws one control from the state; 0 redraws the dialog as a whole.
  void Refresh(int controlId);

  // The widget of the control with this id, or null.
  QWidget* Control(int controlId) const;

  // The system menu as the context menu shows it: Close, then the dialog's own
  // items, a separator for each item with id 0. Each action's data is its command.
  void FillSystemMenu(QMenu& menu);

  // From now on a close is real: the front end is removing the dialog.
  void CloseForGood();

  // Escape: a Cancel command, whether or not the dialog has a Cancel button.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ConnectInput(const ControlResource& control, QWidget& widget);
  void ShowSystemMenu(const QPoint& globalPos);
  void RefreshAt(size_t index);

  DialogState& state_;
  InputSink sink_;
  DialogBaseUnits base_;
  std::vector<QWidget*> widgets_;  // one per control, in the state's order
  bool closing_ = false;
};

}  // namespace dravik
