#pragma once
// The dialog font on Linux and the base units it gives. The templates name a
// Windows bitmap font that Linux does not have; the desktop's general font at the
// template's point size takes its place, and every position is then measured in
// that font's cell, so the dialogs keep their proportions and their texts fit.

#include <QFont>

#include "downloader/resources/dialogs.h"
#include "downloader/ui/qt/dialog_units.h"

namespace dravik {

QFont DialogFont(const DialogResource& resource);

// The font's average character width and its height, in pixels.
DialogBaseUnits BaseUnitsOf(const QFont& font);

}  // namespace dravik
