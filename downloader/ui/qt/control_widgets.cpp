#include "downloader/ui/qt/control_widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "downloader/ui/qt/program_icon.h"

namespace dravik {

namespace {

// A static control's icon is drawn at the system's icon size, whatever its rectangle.
constexpr int kStaticIconPixels = 32;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

TextAlignment AlignmentOf(uint32_t style) {
  if ((style & kRightAligned) != 0) return TextAlignment::Right;
  if ((style & kCentred) != 0) return TextAlignment::Centre;
  return TextAlignment::Left;
}

Qt::Alignment QtAlignmentOf(uint32_t style) {
  switch (AlignmentOf(style)) {
    case TextAlignment::Left:
      return Qt::AlignLeft | Qt::AlignTop;
    case TextAlignment::Centre:
      return Qt::AlignHCenter | Qt::AlignTop;
    case TextAlignment::Right:
      return Qt::AlignRight | Qt::AlignTop;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

QWidget* CreateWidget(const ControlResource& control, QWidget* parent) {
  switch (control.kind) {
    case ControlKind::Static: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      // The templates' statics are one line high: a second line would not show.
      label->setAlignment(QtAlignmentOf(control.style));
      label->setWordWrap(false);
      return label;
    }
    case ControlKind::Icon: {
      auto* label = new QLabel(parent);
      label->setPixmap(ProgramIcon().pixmap(kStaticIconPixels, kStaticIconPixels));
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::ComboBox:
      return new QComboBox(parent);
    case ControlKind::PushButton: {
      auto* button = new QPushButton(parent);
      if ((control.style & kDefaultButton) != 0) button->setDefault(true);
      return button;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);  // the dialog's own labels show the percentage
      return bar;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(parent);
      if (control.textLimit != 0) edit->setMaxLength(control.textLimit);
      return edit;
    }
  }
  return new QWidget(parent);
}

void Place(QWidget& widget, const ControlResource& control, DialogBaseUnits base) {
  const PixelRect rect = ToPixels(control.rect, base);
  if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
    const int height = combo->sizeHint().height();
    combo->setGeometry(rect.x, rect.y, rect.w, height);
    combo->setMaxVisibleItems(DropDownItems(rect.h, height, combo->fontMetrics().height()));
    return;
  }
  widget.setGeometry(rect.x, rect.y, rect.w, rect.h);
}

void FitLabel(QLabel& label, const ControlResource& control, DialogBaseUnits base) {
  const int clientWidth = label.parentWidget() != nullptr ? label.parentWidget()->width() : 0;
  const PixelRect rect =
      WidenToFit(ToPixels(control.rect, base), label.fontMetrics().horizontalAdvance(label.text()),
                 AlignmentOf(control.style), clientWidth);
  label.setGeometry(rect.x, rect.y, rect.w, rect.h);
}

void RefreshCombo(QComboBox& combo, const ControlState& state) {
  bool same = combo.count() == static_cast<int>(state.items.size());
  for (int i = 0; same && i < combo.count(); ++i) {
    same = combo.itemText(i) == Text(state.items[static_cast<size_t>(i)].text);
  }
  if (!same) {
    combo.clear();
    for (const ComboItem& item : state.items) combo.addItem(Text(item.text));
  }
  if (combo.currentIndex() != state.selection) combo.setCurrentIndex(state.selection);
}

void RefreshBar(QProgressBar& bar, const ControlState& state) {
  // An empty range would make the bar a busy indicator; the control shows it empty.
  const int minimum = state.bar.Minimum();
  const int maximum = state.bar.Maximum();
  if (maximum > minimum) {
    bar.setRange(minimum, maximum);
    bar.setValue(state.bar.Position());
  } else {
    bar.setRange(0, 1);
    bar.setValue(0);
  }
}

}  // namespace

QWidget* CreateControlWidget(const ControlResource& control, DialogBaseUnits base,
                             QWidget* parent) {
  QWidget* widget = CreateWidget(control, parent);
  widget->setObjectName(Text(RoleName(control.role)));
  Place(*widget, control, base);
  return widget;
}

void RefreshControlWidget(QWidget& widget, const ControlState& state, DialogBaseUnits base) {
  const QString text = Text(state.text);
  if (auto* label = qobject_cast<QLabel*>(&widget)) {
    if (state.resource->kind == ControlKind::Static && label->text() != text) {
      label->setText(text);
      FitLabel(*label, *state.resource, base);
    }
  } else if (auto* button = qobject_cast<QPushButton*>(&widget)) {
    if (button->text() != text) button->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
    if (edit->text() != text) edit->setText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
    RefreshCombo(*combo, state);
  } else if (auto* bar = qobject_cast<QProgressBar*>(&widget)) {
    RefreshBar(*bar, state);
  }
  if (widget.isEnabled() != state.enabled) widget.setEnabled(state.enabled);
  if (widget.isVisibleTo(widget.parentWidget()) != state.shown) widget.setVisible(state.shown);
}

}  // namespace dravik
