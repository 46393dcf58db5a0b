#include "downloader/ui/qt/dialog_font.h"

#include <QFontDatabase>
#include <QFontMetrics>

namespace dravik {

QFont DialogFont(const DialogResource& resource) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  if (resource.fontPoints > 0) font.setPointSize(resource.fontPoints);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  return {AverageCharWidth(metrics.horizontalAdvance(QString::fromLatin1(kAverageWidthLetters))),
          metrics.height()};
}

}  // namespace dravik
