#include "ui/AnimationPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The palette shared with the rest of the artwork: navy outlines, soft blue bodies, white
// screens and an orange accent for whatever moves.
const QColor kInk(0x1F, 0x4E, 0x8C);
const QColor kBody(0x5B, 0x8F, 0xD6);
const QColor kPale(0xE8, 0xF1, 0xFD);
const QColor kAccent(0xFF, 0x9F, 0x43);
const QColor kGreen(0x3F, 0xA9, 0x6B);

QPen InkPen(double width = 2.0) {
  return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A position 0..1 that eases in and out, for objects that travel.
double Ease(double t) {
  return 0.5 - 0.5 * std::cos(kPi * std::clamp(t, 0.0, 1.0));
}

QPointF Lerp(QPointF a, QPointF b, double t) {
  return a + (b - a) * t;
}

void DrawPc(QPainter& p, QPointF at) {
  p.setPen(InkPen());
  p.setBrush(kBody);
  p.drawRoundedRect(QRectF(at.x(), at.y(), 52, 38), 4, 4);
  p.setBrush(kPale);
  p.drawRect(QRectF(at.x() + 5, at.y() + 5, 42, 26));
  p.setBrush(kBody);
  QPolygonF stand;
  stand << QPointF(at.x() + 20, at.y() + 38) << QPointF(at.x() + 32, at.y() + 38) << QPointF(at.x() + 35, at.y() + 48)
        << QPointF(at.x() + 17, at.y() + 48);
  p.drawPolygon(stand);
  p.drawRoundedRect(QRectF(at.x() + 10, at.y() + 48, 32, 5), 2, 2);
}

// A cordless handset: rounded body, display, key grid and earpiece.
void DrawHandset(QPainter& p, QPointF at, double scale = 1.0) {
  p.save();
  p.translate(at);
  p.scale(scale, scale);
  p.setPen(InkPen());
  p.setBrush(kBody);
  p.drawRoundedRect(QRectF(0, 0, 28, 62), 8, 8);
  p.setBrush(kPale);
  p.drawRoundedRect(QRectF(4, 9, 20, 17), 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRoundedRect(QRectF(10, 3.5, 8, 2), 1, 1);
  p.setBrush(kPale);
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 3; ++col) {
      p.drawEllipse(QPointF(7.5 + col * 6.5, 33 + row * 6.5), 2, 2);
    }
  }
  p.restore();
}

void DrawDocument(QPainter& p, QRectF r, const QColor& fill = Qt::white) {
  const double fold = r.width() * 0.3;
  QPolygonF page;
  page << r.topLeft() << QPointF(r.right() - fold, r.top()) << QPointF(r.right(), r.top() + fold) << r.bottomRight()
       << r.bottomLeft();
  p.setPen(InkPen(1.5));
  p.setBrush(fill);
  p.drawPolygon(page);
  p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
  p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
  for (double y = r.top() + r.height() * 0.45; y < r.bottom() - 2; y += r.height() * 0.2) {
    p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
  }
}

// Dots moving from one point to another, the leading one brightest.
void DrawFlow(QPainter& p, QPointF from, QPointF to, double phase) {
  p.setPen(Qt::NoPen);
  // About one dot per 12 units of way, so short ways do not blur into a bar.
  const QPointF way = to - from;
  const int dots = std::max(2, int(std::hypot(way.x(), way.y()) / 12.0));
  for (int i = 0; i < dots; ++i) {
    const double t = std::fmod(phase + double(i) / dots, 1.0);
    QColor c = kBody;
    c.setAlphaF(0.25 + 0.6 * std::sin(kPi * t));
    p.setBrush(c);
    p.drawEllipse(Lerp(from, to, t), 2.2, 2.2);
  }
}

// A chevron just before the destination, so even a still frame shows the direction.
void DrawArrowHead(QPainter& p, QPointF from, QPointF to) {
  const QPointF tip = Lerp(from, to, 0.97);
  const double direction = to.x() >= from.x() ? 1.0 : -1.0;
  p.setPen(QPen(kAccent, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPolygonF chevron;
  chevron << tip + QPointF(-5 * direction, -5) << tip << tip + QPointF(-5 * direction, 5);
  p.drawPolyline(chevron);
}

void DrawTravellingDocument(QPainter& p, QPointF from, QPointF to, double phase) {
  const QPointF at = Lerp(from, to, Ease(phase));
  const double lift = 8.0 * std::sin(kPi * phase);
  DrawDocument(p, QRectF(at.x() - 7, at.y() - 9 - lift, 14, 18));
}

void DrawNote(QPainter& p, QPointF at, double alpha) {
  QColor c = kInk;
  c.setAlphaF(alpha);
  p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(c);
  p.drawEllipse(at, 3.2, 2.4);
  p.drawLine(at + QPointF(3, 0), at + QPointF(3, -11));
  p.drawLine(at + QPointF(3, -11), at + QPointF(7, -7));
}

void DrawGear(QPainter& p, QPointF centre, double radius, double angle) {
  QPainterPath gear;
  constexpr int kTeeth = 8;
  for (int i = 0; i < kTeeth * 2; ++i) {
    const double a0 = angle + i * kPi / kTeeth;
    const double a1 = a0 + kPi / kTeeth;
    const double r = (i % 2 == 0) ? radius : radius * 0.78;
    const QPointF p0 = centre + QPointF(std::cos(a0) * r, std::sin(a0) * r);
    const QPointF p1 = centre + QPointF(std::cos(a1) * r, std::sin(a1) * r);
    if (i == 0) {
      gear.moveTo(p0);
    } else {
      gear.lineTo(p0);
    }
    gear.lineTo(p1);
  }
  gear.closeSubpath();
  gear.addEllipse(centre, radius * 0.32, radius * 0.32);
  gear.setFillRule(Qt::OddEvenFill);
  p.setPen(InkPen(1.5));
  p.setBrush(kAccent);
  p.drawPath(gear);
}

void DrawBin(QPainter& p, QPointF at, double lidAngle) {
  p.setPen(InkPen());
  p.setBrush(kBody);
  QPolygonF can;
  can << QPointF(at.x(), at.y()) << QPointF(at.x() + 28, at.y()) << QPointF(at.x() + 25, at.y() + 34)
      << QPointF(at.x() + 3, at.y() + 34);
  p.drawPolygon(can);
  for (int i = 1; i < 4; ++i) {
    p.drawLine(QPointF(at.x() + 7 * i, at.y() + 6), QPointF(at.x() + 7 * i - (i - 2) * 0.8, at.y() + 29));
  }
  p.save();
  p.translate(at + QPointF(0, -2));
  p.rotate(-lidAngle);
  p.drawRoundedRect(QRectF(-2, -4, 32, 5), 2, 2);
  p.drawRoundedRect(QRectF(10, -8, 10, 4), 1, 1);
  p.restore();
}

void PaintTransfer(QPainter& p, double phase, bool toHandset) {
  DrawPc(p, QPointF(12, 10));
  DrawHandset(p, QPointF(152, 9));
  const QPointF pc(72, 30);
  const QPointF handset(146, 30);
  DrawFlow(p, toHandset ? pc : handset, toHandset ? handset : pc, phase);
  DrawArrowHead(p, toHandset ? pc : handset, toHandset ? handset : pc);
  DrawTravellingDocument(p, toHandset ? pc : handset, toHandset ? handset : pc, phase);
}

void PaintErase(QPainter& p, double phase) {
  DrawHandset(p, QPointF(40, 9));
  DrawBin(p, QPointF(136, 36), phase > 0.45 && phase < 0.95 ? 25.0 : 0.0);
  // The record leaves the handset's display, arcs over and drops into the bin.
  const double t = std::min(phase / 0.8, 1.0);
  if (t < 1.0) {
    const QPointF from(54, 20);
    const QPointF to(150, 40);
    QPointF at = Lerp(from, to, Ease(t));
    at.ry() -= 26.0 * std::sin(kPi * t);
    const double size = 1.0 - 0.45 * t;
    DrawDocument(p, QRectF(at.x() - 7 * size, at.y() - 9 * size, 14 * size, 18 * size));
  }
}

void PaintConvert(QPainter& p, double phase) {
  // A sound wave on the left turns into the handset's blocks on the right.
  p.setPen(InkPen(1.5));
  p.setBrush(kPale);
  p.drawRoundedRect(QRectF(8, 18, 62, 44), 5, 5);
  p.drawRoundedRect(QRectF(130, 18, 62, 44), 5, 5);
  QPainterPath wave;
  for (int x = 0; x <= 54; ++x) {
    const double y = 40 + 14 * std::sin(2 * kPi * (x / 27.0 - phase)) * std::sin(kPi * x / 54.0);
    if (x == 0) {
      wave.moveTo(12 + x, y);
    } else {
      wave.lineTo(12 + x, y);
    }
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kBody, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(wave);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 7; ++i) {
    const double level = 0.5 + 0.45 * std::sin(2 * kPi * (i / 7.0 - phase));
    p.setBrush(i == int(phase * 7) % 7 ? kAccent : kBody);
    const double h = std::round(level * 4) * 8 + 4;
    p.drawRect(QRectF(135 + i * 8, 58 - h, 6, h));
  }
  DrawGear(p, QPointF(100, 40), 15, phase * 2 * kPi / 4);
  DrawFlow(p, QPointF(72, 40), QPointF(84, 40), phase);
  DrawFlow(p, QPointF(116, 40), QPointF(128, 40), phase);
}

void PaintPlay(QPainter& p, double phase) {
  DrawHandset(p, QPointF(44, 9));
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < 3; ++i) {
    const double t = std::fmod(phase + i / 3.0, 1.0);
    QColor c = kBody;
    c.setAlphaF(1.0 - t);
    p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
    const double r = 10 + 34 * t;
    p.drawArc(QRectF(76 - r, 24 - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
  }
  for (int i = 0; i < 2; ++i) {
    const double t = std::fmod(phase + i * 0.5, 1.0);
    DrawNote(p, QPointF(128 + i * 26 + 6 * std::sin(2 * kPi * t), 70 - 50 * t), std::sin(kPi * t));
  }
}

void DrawFolder(QPainter& p, QPointF at) {
  p.setPen(InkPen());
  p.setBrush(kAccent.lighter(130));
  QPolygonF back;
  back << at << QPointF(at.x() + 18, at.y()) << QPointF(at.x() + 22, at.y() + 5) << QPointF(at.x() + 46, at.y() + 5)
       << QPointF(at.x() + 46, at.y() + 38) << QPointF(at.x(), at.y() + 38);
  p.drawPolygon(back);
  p.setBrush(kAccent);
  p.drawRect(QRectF(at.x(), at.y() + 11, 46, 27));
}

void PaintImport(QPainter& p, double phase) {
  DrawFolder(p, QPointF(14, 26));
  DrawPc(p, QPointF(136, 10));
  // Rows appear in the PC's list as entries arrive.
  const int rows = int(phase * 4);
  p.setPen(QPen(kBody, 3, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < rows; ++i) {
    p.drawLine(QPointF(146, 20 + i * 6), QPointF(176 - (i % 2) * 8, 20 + i * 6));
  }
  DrawFlow(p, QPointF(66, 40), QPointF(130, 34), phase);
  DrawTravellingDocument(p, QPointF(40, 32), QPointF(160, 28), phase);
}

void PaintPicture(QPainter& p, double phase) {
  const QRectF frame(60, 8, 80, 64);
  p.setPen(InkPen());
  p.setBrush(QColor(0xCF, 0xE4, 0xFB));
  p.drawRoundedRect(frame, 4, 4);
  p.save();
  p.setClipRect(frame.adjusted(3, 3, -3, -3));
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(118, 26), 8, 8);
  p.setBrush(kGreen);
  QPolygonF hills;
  hills << QPointF(60, 72) << QPointF(86, 36) << QPointF(104, 56) << QPointF(116, 44) << QPointF(140, 72);
  p.drawPolygon(hills);
  // Above the scan line the picture is already reduced to coarse palette blocks.
  const double scanY = frame.top() + 3 + (frame.height() - 6) * phase;
  for (double y = frame.top(); y < scanY; y += 8) {
    for (double x = frame.left(); x < frame.right(); x += 8) {
      const bool sun = std::hypot(x + 4 - 118, y + 4 - 26) < 9;
      const bool hill = y + 4 > 72 - (x + 4 < 86 ? (x + 4 - 60) * 36 / 26.0 : 30);
      p.setBrush(sun ? kAccent : (hill ? kGreen.darker(110) : kPale));
      p.drawRect(QRectF(x, y, 8, std::min(8.0, scanY - y)));
    }
  }
  p.restore();
  p.setPen(QPen(kAccent, 2));
  p.drawLine(QPointF(frame.left() - 4, scanY), QPointF(frame.right() + 4, scanY));
}

void PaintConnect(QPainter& p, double phase) {
  DrawPc(p, QPointF(12, 10));
  DrawHandset(p, QPointF(152, 9));
  QPainterPath cable;
  cable.moveTo(64, 48);
  cable.cubicTo(96, 80, 120, 20, 150, 52);
  p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(cable);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) {
    const double t = std::fmod(phase + i / 3.0, 1.0);
    QColor c = kAccent;
    c.setAlphaF(std::sin(kPi * t));
    p.setBrush(c);
    p.drawEllipse(cable.pointAtPercent(t), 3.5, 3.5);
  }
  // The plug glows while the link is being opened.
  QColor glow = kGreen;
  glow.setAlphaF(0.4 + 0.6 * std::fabs(std::sin(kPi * phase * 2)));
  p.setBrush(glow);
  p.setPen(InkPen(1.5));
  p.drawRoundedRect(QRectF(145, 47, 9, 10), 2, 2);
}

void PaintHourglass(QPainter& p, double phase) {
  // The sand runs for most of the loop, then the glass turns over.
  const double run = std::min(phase / 0.8, 1.0);
  const double turn = phase > 0.8 ? (phase - 0.8) / 0.2 : 0.0;
  p.save();
  p.translate(100, 40);
  p.rotate(180.0 * Ease(turn));
  p.setPen(InkPen());
  p.setBrush(kBody);
  p.drawRoundedRect(QRectF(-18, -32, 36, 5), 2, 2);
  p.drawRoundedRect(QRectF(-18, 27, 36, 5), 2, 2);
  QPainterPath glass;
  glass.moveTo(-13, -27);
  glass.lineTo(13, -27);
  glass.cubicTo(13, -10, 3, -6, 3, 0);
  glass.cubicTo(3, 6, 13, 10, 13, 27);
  glass.lineTo(-13, 27);
  glass.cubicTo(-13, 10, -3, 6, -3, 0);
  glass.cubicTo(-3, -6, -13, -10, -13, -27);
  p.setBrush(kPale);
  p.drawPath(glass);
  p.setClipPath(glass);
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  const double top = 22 * (1.0 - run);
  p.drawRect(QRectF(-14, -top, 28, top));
  const double bottom = 22 * run;
  p.drawRect(QRectF(-14, 27 - bottom, 28, bottom));
  if (run < 1.0) {
    p.drawRect(QRectF(-1, 0, 2, 27));
  }
  p.restore();
}

}  // namespace

void CAnimationPainter::Paint(QPainter& painter, const QRectF& target, int kind, int frame) {
  const int wrapped = ((frame % kFrames) + kFrames) % kFrames;
  const double scale = std::min(target.width() / kWidth, target.height() / kHeight);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.translate(target.center().x() - kWidth * scale / 2, target.center().y() - kHeight * scale / 2);
  painter.scale(scale, scale);
  PaintScene(painter, kind, double(wrapped) / kFrames);
  painter.restore();
}

void CAnimationPainter::PaintScene(QPainter& painter, int kind, double phase) {
  switch (kind) {
    case kSend:
      return PaintTransfer(painter, phase, true);
    case kReceive:
      return PaintTransfer(painter, phase, false);
    case kErase:
      return PaintErase(painter, phase);
    case kConvert:
      return PaintConvert(painter, phase);
    case kPlay:
      return PaintPlay(painter, phase);
    case kImport:
      return PaintImport(painter, phase);
    case kPicture:
      return PaintPicture(painter, phase);
    case kConnect:
      return PaintConnect(painter, phase);
    default:
      return PaintHourglass(painter, phase);
  }
}
