#include "downloader/ui/qt/qt_dialog_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "downloader/ui/qt/control_widgets.h"
#include "downloader/ui/qt/dialog_font.h"
#include "downloader/ui/qt/program_icon.h"

namespace dravik {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A modal frame: no resizing; the caption's buttons as the template's style has them.
Qt::WindowFlags FlagsFor(const DialogResource& resource) {
  Qt::WindowFlags flags = resource.Has(kAppWindow) ? Qt::Window : Qt::Dialog;
  flags |= Qt::CustomizeWindowHint;
  if (resource.Has(kCaption)) flags |= Qt::WindowTitleHint;
  if (resource.Has(kSystemMenu)) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (resource.Has(kMinimiseBox)) flags |= Qt::WindowMinimizeButtonHint;
  if (resource.Has(kMaximiseBox)) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

}  // namespace

QtDialogWindow::QtDialogWindow(DialogState& state, QWidget* parent, InputSink sink)
    : QDialog(parent, FlagsFor(state.resource())), state_(state), sink_(std::move(sink)) {
  const DialogResource& resource = state.resource();
  setObjectName(Text(DialogName(resource.id)));
  setWindowTitle(Text(resource.caption));
  setFont(DialogFont(resource));
  base_ = BaseUnitsOf(font());
  setFixedSize(HorizontalPixels(resource.width, base_), VerticalPixels(resource.height, base_));
  setWindowModality(Qt::ApplicationModal);
  for (const ControlState& control : state.controls()) {
    QWidget* widget = CreateControlWidget(*control.resource, base_, this);
    ConnectInput(*control.resource, *widget);
    widgets_.push_back(widget);
  }
  Refresh(0);
}

void QtDialogWindow::ConnectInput(const ControlResource& control, QWidget& widget) {
  const int id = control.id;
  if (auto* button = qobject_cast<QPushButton*>(&widget)) {
    connect(button, &QPushButton::clicked, this,
            [this, id] { sink_(InputEvent::Command(static_cast<uint32_t>(id))); });
  } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
    // activated is the user's choice only, never the state being redrawn.
    connect(combo, &QComboBox::activated, this, [this, id](int index) {
      state_.ComboSetSelection(id, index);
      sink_(InputEvent::Command(static_cast<uint32_t>(id), CBN_SELCHANGE));
    });
  } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
    connect(edit, &QLineEdit::textEdited, this,
            [this, id](const QString& text) { state_.SetText(id, text.toStdString()); });
  }
}

void QtDialogWindow::Refresh(int controlId) {
  if (controlId == 0) {
    if (state_.icon() != 0) setWindowIcon(ProgramIcon());
    for (size_t i = 0; i < widgets_.size(); ++i) RefreshAt(i);
    return;
  }
  const auto& controls = state_.controls();
  for (size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].id() == controlId) RefreshAt(i);
  }
}

void QtDialogWindow::RefreshAt(size_t index) {
  const ControlState& control = state_.controls()[index];
  QWidget& widget = *widgets_[index];
  RefreshControlWidget(widget, control, base_);
  if (control.id() != IDC_STATIC && control.id() == state_.focus()) widget.setFocus();
}

QWidget* QtDialogWindow::Control(int controlId) const {
  const auto& controls = state_.controls();
  for (size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].id() == controlId && controlId != IDC_STATIC) return widgets_[i];
  }
  return nullptr;
}

void QtDialogWindow::FillSystemMenu(QMenu& menu) {
  QAction* close = menu.addAction(QStringLiteral("&Close\tAlt+F4"));
  close->setData(SC_CLOSE);
  for (const SystemMenuItem& item : state_.systemMenu()) {
    if (item.id == 0) {
      menu.addSeparator();
      continue;
    }
    menu.addAction(Text(item.text))->setData(item.id);
  }
}

void QtDialogWindow::CloseForGood() {
  closing_ = true;
  hide();
}

void QtDialogWindow::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  // Only the dialog logic ends a dialog; the close button asks it, as Close does.
  event->ignore();
  sink_(InputEvent::SysCommand(SC_CLOSE));
}

void QtDialogWindow::reject() {
  sink_(InputEvent::Command(IDCANCEL));
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    if (state_.helpAvailable()) sink_(InputEvent::Help());
    event->accept();
    return;
  }
  // Shift+F10 opens the context menu from the keyboard (the menu key does so through
  // the window system); it drops from the top left corner, as a window menu does.
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier &&
      state_.HasSystemMenu()) {
    ShowSystemMenu(mapToGlobal(QPoint(0, 0)));
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
  if (!state_.HasSystemMenu()) {
    QDialog::contextMenuEvent(event);
    return;
  }
  ShowSystemMenu(event->globalPos());
}

void QtDialogWindow::ShowSystemMenu(const QPoint& globalPos) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("system-menu"));
  FillSystemMenu(menu);
  const QAction* chosen = menu.exec(globalPos);
  if (chosen != nullptr) sink_(InputEvent::SysCommand(chosen->data().toUInt()));
}

}  // namespace dravik
