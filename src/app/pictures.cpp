#include "app/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "device/device_types.h"

namespace korvin {

namespace {

// Drawing coordinates of the device pictures: the sensor lies on its side, probe to the left.
constexpr int kAxisY = 72;
constexpr int kLabelTop = 122;

const QColor kSteelLight(236, 238, 240);
const QColor kSteelDark(138, 144, 150);
const QColor kOutline(70, 76, 84);
const QColor kHousingBlue(38, 92, 160);
const QColor kHousingBlueDark(22, 58, 108);
const QColor kCable(40, 40, 44);
const QColor kDisplayGreen(170, 214, 160);
const QColor kFaint(190, 196, 204);
const QColor kBrand(24, 64, 120);

QLinearGradient Cylinder(const QRectF& r, const QColor& light, const QColor& dark) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0.0, dark);
  g.setColorAt(0.35, light);
  g.setColorAt(1.0, dark);
  return g;
}

void Outline(QPainter& p) {
  p.setPen(QPen(kOutline, 1.2));
}

// Sintered filter cap at the probe tip.
void DrawFilter(QPainter& p, const QRectF& r) {
  Outline(p);
  p.setBrush(Cylinder(r, QColor(200, 196, 186), QColor(120, 116, 106)));
  p.drawRoundedRect(r, 4, 4);
  p.setPen(QPen(QColor(95, 92, 84), 1));
  for (qreal x = r.left() + 4; x < r.right() - 2; x += 4) {
    for (qreal y = r.top() + 3; y < r.bottom() - 2; y += 4) p.drawPoint(QPointF(x, y));
  }
}

void DrawThread(QPainter& p, const QRectF& r) {
  Outline(p);
  p.setBrush(Cylinder(r, kSteelLight, kSteelDark));
  p.drawRect(r);
  p.setPen(QPen(kSteelDark, 1));
  for (qreal x = r.left() + 3; x < r.right(); x += 3) {
    p.drawLine(QPointF(x, r.top() + 1), QPointF(x - 2, r.bottom() - 1));
  }
}

void DrawHex(QPainter& p, const QRectF& r) {
  Outline(p);
  p.setBrush(Cylinder(r, kSteelLight, kSteelDark));
  p.drawRect(r);
  p.setPen(QPen(kSteelDark, 1));
  p.drawLine(QPointF(r.left(), r.top() + r.height() / 3),
             QPointF(r.right(), r.top() + r.height() / 3));
  p.drawLine(QPointF(r.left(), r.top() + 2 * r.height() / 3),
             QPointF(r.right(), r.top() + 2 * r.height() / 3));
}

void DrawBody(QPainter& p, const QRectF& r, const QColor& light, const QColor& dark, qreal radius) {
  Outline(p);
  p.setBrush(Cylinder(r, light, dark));
  p.drawRoundedRect(r, radius, radius);
}

// M12 plug with its knurled nut, cable leaving to the right.
void DrawConnector(QPainter& p, qreal x, qreal y) {
  DrawBody(p, QRectF(x, y - 9, 10, 18), kSteelLight, kSteelDark, 1);
  const QRectF nut(x + 10, y - 12, 16, 24);
  DrawBody(p, nut, kSteelLight, kSteelDark, 2);
  p.setPen(QPen(kSteelDark, 1));
  for (qreal k = nut.left() + 3; k < nut.right() - 1; k += 3) {
    p.drawLine(QPointF(k, nut.top() + 2), QPointF(k, nut.bottom() - 2));
  }
  DrawBody(p, QRectF(x + 26, y - 8, 18, 16), QColor(90, 90, 96), kCable, 3);
  QPainterPath cable(QPointF(x + 44, y));
  cable.cubicTo(QPointF(x + 56, y), QPointF(x + 52, y + 40), QPointF(x + 62, y + 44));
  p.setPen(QPen(kCable, 6, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(cable);
}

void DrawCableGland(QPainter& p, qreal x, qreal y) {
  DrawHex(p, QRectF(x, y - 9, 9, 18));
  DrawBody(p, QRectF(x + 9, y - 6, 10, 12), QColor(90, 90, 96), kCable, 2);
  QPainterPath cable(QPointF(x + 19, y));
  cable.cubicTo(QPointF(x + 30, y), QPointF(x + 28, y + 34), QPointF(x + 40, y + 40));
  p.setPen(QPen(kCable, 5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(cable);
}

void DrawLabel(QPainter& p, const QString& text) {
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(14);
  p.setFont(font);
  p.setPen(kBrand);
  p.drawText(QRectF(0, kLabelTop, kDevicePictureWidth, 20), Qt::AlignCenter, text);
}

// Probe: filter, tube, thread and hex; returns where the hex ends.
qreal DrawProbe(QPainter& p, qreal x, qreal tubeLength) {
  DrawFilter(p, QRectF(x, kAxisY - 8, 22, 16));
  DrawBody(p, QRectF(x + 22, kAxisY - 6, tubeLength, 12), kSteelLight, kSteelDark, 1);
  const qreal threadX = x + 22 + tubeLength;
  DrawThread(p, QRectF(threadX, kAxisY - 10, 16, 20));
  DrawHex(p, QRectF(threadX + 16, kAxisY - 15, 12, 30));
  return threadX + 28;
}

void DrawD720(QPainter& p) {
  const qreal x = DrawProbe(p, 12, 16);
  DrawBody(p, QRectF(x, kAxisY - 13, 46, 26), kSteelLight, kSteelDark, 3);
  DrawConnector(p, x + 46, kAxisY);
  DrawLabel(p, QStringLiteral("D720"));
}

void DrawHousing(QPainter& p, const QRectF& r) {
  Outline(p);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0.0, kHousingBlue.lighter(130));
  g.setColorAt(1.0, kHousingBlueDark);
  p.setBrush(g);
  p.drawRoundedRect(r, 6, 6);
}

void DrawD810(QPainter& p) {
  const qreal x = DrawProbe(p, 8, 22);
  const QRectF housing(x, kAxisY - 22, 52, 44);
  DrawHousing(p, housing);
  DrawConnector(p, housing.right(), kAxisY);
  DrawLabel(p, QStringLiteral("D810"));
}

void DrawDisplay(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(kDisplayGreen);
  p.drawRoundedRect(r, 2, 2);
  QFont font = p.font();
  font.setPixelSize(static_cast<int>(r.height() * 0.6));
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(30, 50, 30));
  p.drawText(r, Qt::AlignCenter, QStringLiteral("-40.0"));
}

void DrawD830(QPainter& p) {
  const qreal x = DrawProbe(p, 8, 20);
  const QRectF housing(x, kAxisY - 34, 64, 68);
  DrawHousing(p, housing);
  DrawDisplay(p, QRectF(housing.left() + 8, housing.top() + 10, housing.width() - 16, 22));
  DrawCableGland(p, housing.right(), kAxisY + 14);
  DrawLabel(p, QStringLiteral("D830"));
}

void DrawD850(QPainter& p) {
  const qreal x = DrawProbe(p, 6, 30);
  const QRectF housing(x, kAxisY - 26, 58, 52);
  DrawBody(p, housing, QColor(214, 218, 224), QColor(150, 156, 164), 5);
  p.setPen(QPen(kBrand, 2));
  p.drawLine(QPointF(housing.left() + 8, housing.top() + 12),
             QPointF(housing.right() - 8, housing.top() + 12));
  DrawCableGland(p, housing.right(), kAxisY - 10);
  DrawCableGland(p, housing.right(), kAxisY + 12);
  DrawLabel(p, QStringLiteral("D850"));
}

// Nothing connected: the outline of a sensor and an unplugged cable.
void DrawNoSensor(QPainter& p) {
  QPen pen(kFaint, 2, Qt::DashLine);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(16, kAxisY - 7, 60, 14), 4, 4);
  p.drawRect(QRectF(76, kAxisY - 12, 14, 24));
  p.drawRoundedRect(QRectF(90, kAxisY - 18, 44, 36), 5, 5);
  p.setPen(QPen(kFaint, 5, Qt::SolidLine, Qt::RoundCap));
  QPainterPath cable(QPointF(196, kAxisY + 40));
  cable.cubicTo(QPointF(176, kAxisY + 36), QPointF(178, kAxisY + 8), QPointF(160, kAxisY + 6));
  p.drawPath(cable);
  p.setPen(QPen(kFaint, 2));
  p.setBrush(kFaint.lighter(110));
  p.drawRoundedRect(QRectF(146, kAxisY - 2, 14, 16), 2, 2);
}

}  // namespace

QPixmap DevicePicture(int picture) {
  QPixmap pixmap(kDevicePictureWidth, kDevicePictureHeight);
  pixmap.fill(Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (picture) {
    case kPictureD720:
      DrawD720(p);
      break;
    case kPictureD810:
      DrawD810(p);
      break;
    case kPictureD830:
      DrawD830(p);
      break;
    case kPictureD850:
      DrawD850(p);
      break;
    default:
      DrawNoSensor(p);
      break;
  }
  return pixmap;
}

QPixmap SplashPicture() {
  constexpr int kWidth = 480;
  constexpr int kHeight = 260;
  QPixmap pixmap(kWidth, kHeight);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient background(0, 0, 0, kHeight);
  background.setColorAt(0.0, kHousingBlue);
  background.setColorAt(1.0, kHousingBlueDark);
  p.fillRect(pixmap.rect(), background);

  // A dew drop on a cold surface: the picture the product is about.
  QPainterPath drop;
  const QPointF tip(400, 60);
  drop.moveTo(tip);
  drop.cubicTo(QPointF(430, 110), QPointF(440, 130), QPointF(400, 160));
  drop.cubicTo(QPointF(360, 130), QPointF(370, 110), tip);
  QLinearGradient water(360, 60, 440, 160);
  water.setColorAt(0.0, QColor(220, 240, 255));
  water.setColorAt(1.0, QColor(120, 180, 230));
  p.setPen(QPen(QColor(255, 255, 255, 160), 2));
  p.setBrush(water);
  p.drawPath(drop);
  p.setPen(QPen(QColor(255, 255, 255, 90), 2));
  p.drawLine(QPointF(340, 176), QPointF(460, 176));

  p.setPen(Qt::white);
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(52);
  p.setFont(font);
  p.drawText(QRectF(36, 50, 320, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KORVIN"));
  font.setBold(false);
  font.setPixelSize(18);
  p.setFont(font);
  p.drawText(QRectF(38, 120, 320, 28), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Service tool for dew point sensors"));
  font.setPixelSize(14);
  p.setFont(font);
  p.setPen(QColor(210, 225, 245));
  p.drawText(QRectF(38, 200, 400, 22), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Version 1.1  \u2022  looking for updates\u2026"));
  return pixmap;
}

QImage IconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  p.setPen(Qt::NoPen);
  p.setBrush(kHousingBlue);
  p.drawRoundedRect(QRectF(0, 0, s, s), s / 6, s / 6);
  QPainterPath drop;
  drop.moveTo(s * 0.5, s * 0.12);
  drop.cubicTo(QPointF(s * 0.72, s * 0.45), QPointF(s * 0.8, s * 0.6), QPointF(s * 0.5, s * 0.86));
  drop.cubicTo(QPointF(s * 0.2, s * 0.6), QPointF(s * 0.28, s * 0.45), QPointF(s * 0.5, s * 0.12));
  p.setBrush(QColor(220, 240, 255));
  p.drawPath(drop);
  return image;
}

QIcon WindowIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(IconImage(size)));
  return icon;
}

}  // namespace korvin
