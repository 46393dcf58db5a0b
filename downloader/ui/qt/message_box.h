#pragma once
// The program's message box in Qt's terms: caption "Dravik", the icon and buttons
// the caller names (Yes first and default, No also on Escape), and the answer as a
// dialog result.

#include <QMessageBox>
#include <string>

#include "downloader/platform/window.h"

namespace dravik {

QMessageBox::Icon QtIconOf(BoxIcon icon);

// Fills box with the text, caption, icon and buttons.
void SetUpMessageBox(QMessageBox& box, const std::string& text, BoxButtons buttons, BoxIcon icon);

// IDOK, IDYES or IDNO for what exec returned; a box closed any other way (the
// application ending) answers OK, or No to a question.
int DialogResultOf(int execResult, BoxButtons buttons);

}  // namespace dravik
