#include "downloader/ui/qt/message_box.h"

#include "downloader/resources/string_table.h"

namespace dravik {

QMessageBox::Icon QtIconOf(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None:
      return QMessageBox::NoIcon;
    case BoxIcon::Exclamation:
      return QMessageBox::Warning;
    case BoxIcon::Information:
      return QMessageBox::Information;
    case BoxIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

void SetUpMessageBox(QMessageBox& box, const std::string& text, BoxButtons buttons, BoxIcon icon) {
  box.setObjectName(QStringLiteral("message-box"));
  box.setWindowTitle(QString::fromStdString(LoadString(IDS_APP_TITLE)));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setIcon(QtIconOf(icon));
  box.setWindowModality(Qt::ApplicationModal);
  if (buttons == BoxButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
  }
}

int DialogResultOf(int execResult, BoxButtons buttons) {
  if (buttons == BoxButtons::Ok) return IDOK;
  return execResult == QMessageBox::Yes ? IDYES : IDNO;
}

}  // namespace dravik
