#pragma once
// The program's icon (resource 128), drawn rather than loaded: a panel with a
// download arrow, at the sizes a window manager and the About box ask for.

#include <QIcon>

namespace dravik {

QIcon ProgramIcon();

}  // namespace dravik
