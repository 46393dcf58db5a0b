#include "downloader/ui/qt/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dravik {

namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // The panel: a dark case with a lit screen.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x2B, 0x3A, 0x55));
  painter.drawRoundedRect(QRectF(s * 0.06, s * 0.12, s * 0.88, s * 0.76), s * 0.1, s * 0.1);
  painter.setBrush(QColor(0x8F, 0xD3, 0xF0));
  painter.drawRect(QRectF(s * 0.16, s * 0.22, s * 0.68, s * 0.44));
  // The arrow into the screen.
  QPainterPath arrow;
  arrow.moveTo(s * 0.42, s * 0.26);
  arrow.lineTo(s * 0.58, s * 0.26);
  arrow.lineTo(s * 0.58, s * 0.42);
  arrow.lineTo(s * 0.68, s * 0.42);
  arrow.lineTo(s * 0.50, s * 0.60);
  arrow.lineTo(s * 0.32, s * 0.42);
  arrow.lineTo(s * 0.42, s * 0.42);
  arrow.closeSubpath();
  painter.setBrush(QColor(0x1E, 0x8E, 0x3E));
  painter.drawPath(arrow);
  // A row of keys under the screen.
  painter.setBrush(QColor(0xD0, 0xD6, 0xDE));
  for (int i = 0; i < 3; ++i) {
    painter.drawRect(QRectF(s * (0.2 + 0.22 * i), s * 0.72, s * 0.16, s * 0.08));
  }
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace dravik
