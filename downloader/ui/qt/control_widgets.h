#pragma once
// One widget per control of a dialog template, and the rule that brings a widget
// up to its control's state. The widgets only show the state: what the user does
// to them is turned into input by the dialog window that owns them.

#include <QWidget>

#include "downloader/resources/dialogs.h"
#include "downloader/ui/dialog_state.h"
#include "downloader/ui/qt/dialog_units.h"

namespace dravik {

// The widget for control, placed at its template rectangle converted with base,
// named by the control's role.
QWidget* CreateControlWidget(const ControlResource& control, DialogBaseUnits base, QWidget* parent);

// Text, enabled, shown, list items and selection, bar range and position; a
// static's rectangle widened to its text where the text is wider (WidenToFit).
void RefreshControlWidget(QWidget& widget, const ControlState& state, DialogBaseUnits base);

}  // namespace dravik
