#include "platform/qt/snimac_icon.h"

#include <QColor>
#include <QPainter>
#include <QPen>

namespace snimac {

QPixmap DrawSnimacPicture(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing, size > 16);
  p.scale(size / 16.0, size / 16.0);  // drawn on a 16-unit grid
  const auto pen = [](const char* color) { return QPen(QColor(color), 1.0); };

  // The card, blue with its gold chip, half inside the reader.
  p.setPen(pen("#173a73"));
  p.setBrush(QColor("#3a7bd5"));
  p.drawRoundedRect(QRectF(2.5, 0.5, 11, 9), 1.5, 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor("#e8c04a"));
  p.drawRect(QRectF(4, 2.5, 3, 3));

  // The reader with its slot and its green light.
  p.setPen(pen("#1f252d"));
  p.setBrush(QColor("#4a5563"));
  p.drawRoundedRect(QRectF(0.5, 7.5, 15, 8), 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor("#2b323b"));
  p.drawRect(QRectF(2, 8.5, 12, 1));
  p.setBrush(QColor("#5fe35f"));
  p.drawRect(QRectF(11, 11.5, 2, 2));
  return picture;
}

QIcon SnimacIcon() {
  QIcon icon;
  for (const int size : {16, 20, 22, 24, 32, 48, 64}) icon.addPixmap(DrawSnimacPicture(size));
  return icon;
}

}  // namespace snimac
