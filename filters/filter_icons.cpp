#include "filters/filter_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <numbers>

#include "filters/filter_registry.h"

namespace ztlive {

namespace {

// Family colours of the tiles.
const QColor kRestoration(0x1f, 0x7a, 0x8c);
const QColor kEqualising(0x2f, 0x5d, 0xb8);
const QColor kEffect(0x7b, 0x3f, 0xa0);
const QColor kDynamics(0xb8, 0x5c, 0x1f);
const QColor kChainEnd(0x3a, 0x8a, 0x3a);
const QColor kAccent(0xff, 0xd2, 0x4a);

using Glyph = void (*)(QPainter&);

// A path through the points of f(x) for x from x0 to x1 (icon coordinates).
template <typename F>
QPainterPath Curve(double x0, double x1, F f) {
  QPainterPath path;
  path.moveTo(x0, f(x0));
  for (double x = x0 + 0.5; x <= x1 + 1e-9; x += 0.5) path.lineTo(x, f(x));
  return path;
}

double Noise(double x) {
  // A fixed ragged pattern: the same picture every time.
  return std::sin(x * 2.3) * 2.2 + std::sin(x * 5.7 + 1.0) * 1.6 + std::sin(x * 11.1 + 2.0) * 1.0;
}

void Impulse(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return 20 + 3 * std::sin((x - 7) / 22 * 2 * std::numbers::pi); }));
  p.setPen(QPen(kAccent, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(17, 7), QPointF(17, 29));  // the click
}

void ContinuousNoise(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return 18 + Noise(x); }));
}

void HarmonicNoise(QPainter& p) {
  for (int i = 0; i < 5; ++i) {
    const double x = 8 + i * 5;
    p.drawLine(QPointF(x, 29), QPointF(x, 9 + i * 4));
  }
}

void DynamicNoise(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return 18 + Noise(x) * std::exp(-(x - 7) / 9); }));
  p.setPen(QPen(kAccent, 1.5, Qt::DashLine));
  p.drawLine(QPointF(7, 9), QPointF(29, 27));
}

// The frequency responses: a gain over frequency, high gain at the top.
void LowPass(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return x < 18 ? 11.0 : 11.0 + (x - 18) * (x - 18) * 0.14; }));
}

void HighPass(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return x > 18 ? 11.0 : 11.0 + (18 - x) * (18 - x) * 0.14; }));
}

void BandPass(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return 28 - 17 * std::exp(-(x - 18) * (x - 18) / 18); }));
}

void Notch(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return 11 + 17 * std::exp(-(x - 18) * (x - 18) / 4); }));
}

void Median(QPainter& p) {
  p.setBrush(Qt::white);
  p.drawRect(QRectF(8, 16, 4, 12));
  p.drawRect(QRectF(24, 12, 4, 16));
  p.setBrush(kAccent);
  p.setPen(QPen(kAccent, 1));
  p.drawRect(QRectF(16, 8, 4, 20));
}

void Averaging(QPainter& p) {
  p.setPen(QPen(QColor(255, 255, 255, 150), 1.2));
  p.drawPath(Curve(7, 29, [](double x) { return 18 + Noise(x) * 1.3; }));
  p.setPen(QPen(kAccent, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(Curve(7, 29, [](double x) { return 18 + 2 * std::sin((x - 7) / 7); }));
}

void Sliders(QPainter& p, std::initializer_list<double> knobs) {
  double x = 9;
  for (double knob : knobs) {
    p.drawLine(QPointF(x, 8), QPointF(x, 28));
    p.setBrush(kAccent);
    p.drawRect(QRectF(x - 2.5, knob - 1.5, 5, 3));
    p.setBrush(Qt::NoBrush);
    x += 6;
  }
}

void GraphicEq(QPainter& p) { Sliders(p, {20, 12, 16, 24}); }

void FileConversion(QPainter& p) {
  // One channel becomes two.
  p.drawEllipse(QPointF(11, 18), 4, 4);
  p.drawLine(QPointF(15, 18), QPointF(21, 12));
  p.drawLine(QPointF(15, 18), QPointF(21, 24));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(25, 11), 3, 3);
  p.drawEllipse(QPointF(25, 25), 3, 3);
}

void Reverb(QPainter& p) {
  // A sound and its echoes spreading through a room.
  p.setBrush(kAccent);
  p.setPen(QPen(kAccent, 1));
  p.drawEllipse(QPointF(10, 18), 2.5, 2.5);
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < 3; ++i) {
    p.setPen(QPen(QColor(255, 255, 255, 255 - i * 60), 2, Qt::SolidLine, Qt::RoundCap));
    const double r = 6 + i * 6;
    p.drawArc(QRectF(10 - r, 18 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
  }
}

void VirtualValve(QPainter& p) {
  // A valve: the glass bulb, its electrodes and the base.
  p.drawRoundedRect(QRectF(11, 6, 14, 20), 7, 7);
  p.drawRect(QRectF(12, 26, 12, 4));
  p.setPen(QPen(kAccent, 1.5));
  p.drawLine(QPointF(15, 12), QPointF(15, 22));
  p.drawLine(QPointF(21, 12), QPointF(21, 22));
  p.drawLine(QPointF(15, 17), QPointF(21, 17));
}

void Dynamics(QPainter& p) {
  // The compressor's curve: one to one, then bending over at the knee.
  QPainterPath path;
  path.moveTo(7, 29);
  path.lineTo(19, 17);
  path.quadTo(22, 14, 29, 12);
  p.drawPath(path);
  p.setPen(QPen(QColor(255, 255, 255, 120), 1, Qt::DashLine));
  p.drawLine(QPointF(19, 17), QPointF(29, 7));
}

void ParagraphicEq(QPainter& p) {
  auto gain = [](double x) {
    return 18 - 7 * std::exp(-(x - 12) * (x - 12) / 8) + 7 * std::exp(-(x - 24) * (x - 24) / 6);
  };
  p.drawPath(Curve(7, 29, gain));
  p.setBrush(kAccent);
  p.setPen(QPen(kAccent, 1));
  p.drawEllipse(QPointF(12, gain(12)), 2, 2);
  p.drawEllipse(QPointF(24, gain(24)), 2, 2);
}

void ChannelBlender(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return 18 - 8 * std::cos((x - 7) / 22 * std::numbers::pi / 2); }));
  p.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(Curve(7, 29, [](double x) { return 18 + 8 * std::cos((x - 7) / 22 * std::numbers::pi / 2); }));
}

void BrickWall(QPainter& p) {
  p.drawLine(QPointF(7, 11), QPointF(20, 11));
  p.drawLine(QPointF(20, 11), QPointF(20, 29));
  p.setBrush(kAccent);
  p.setPen(QPen(kAccent, 1));
  for (int row = 0; row < 4; ++row)
    p.drawRect(QRectF(row % 2 == 0 ? 22 : 24, 11 + row * 4.5, 5, 3.5));
}

void Adaptive(QPainter& p) {
  // Speech that a filter follows: a burst of waveform with a tracking arrow over it.
  p.drawPath(Curve(7, 29, [](double x) {
    return 21 + 5 * std::sin(x * 1.7) * std::exp(-(x - 18) * (x - 18) / 30);
  }));
  p.setPen(QPen(kAccent, 1.8, Qt::SolidLine, Qt::RoundCap));
  QPainterPath arrow;
  arrow.moveTo(8, 11);
  arrow.quadTo(18, 5, 27, 10);
  p.drawPath(arrow);
  p.drawLine(QPointF(27, 10), QPointF(23, 10));
  p.drawLine(QPointF(27, 10), QPointF(25, 6.5));
}

void PunchAndCrunch(QPainter& p) {
  QPolygonF bolt;
  bolt << QPointF(20, 6) << QPointF(11, 20) << QPointF(17, 20) << QPointF(14, 30) << QPointF(25, 15)
       << QPointF(19, 15) << QPointF(23, 6);
  p.setBrush(kAccent);
  p.setPen(QPen(Qt::white, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolygon(bolt);
}

void MultiFilter(QPainter& p) {
  p.drawRect(QRectF(6, 14, 6, 8));
  p.drawRect(QRectF(24, 14, 6, 8));
  p.drawLine(QPointF(12, 18), QPointF(15, 18));
  p.drawLine(QPointF(21, 18), QPointF(24, 18));
  p.setBrush(kAccent);
  p.drawRect(QRectF(15, 14, 6, 8));
}

void PitchChange(QPainter& p) {
  p.drawEllipse(QPointF(14, 25), 4, 3);
  p.drawLine(QPointF(18, 25), QPointF(18, 8));
  p.drawLine(QPointF(18, 8), QPointF(23, 11));
  p.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(27, 14), QPointF(27, 24));
  p.drawLine(QPointF(27, 14), QPointF(24.5, 17));
  p.drawLine(QPointF(27, 14), QPointF(29.5, 17));
}

void Normalize(QPainter& p) {
  p.drawPath(Curve(7, 29, [](double x) { return 18 + 9 * std::sin(x * 1.2) * (0.6 + 0.4 * std::sin(x * 0.3)); }));
  p.setPen(QPen(kAccent, 1.5, Qt::DashLine));
  p.drawLine(QPointF(6, 8), QPointF(30, 8));
  p.drawLine(QPointF(6, 28), QPointF(30, 28));
}

void Input(QPainter& p) {
  // A microphone.
  p.drawRoundedRect(QRectF(14, 6, 8, 14), 4, 4);
  QPainterPath cup;
  cup.moveTo(10, 15);
  cup.cubicTo(10, 25, 26, 25, 26, 15);
  p.drawPath(cup);
  p.drawLine(QPointF(18, 23), QPointF(18, 29));
  p.drawLine(QPointF(13, 29), QPointF(23, 29));
}

void Output(QPainter& p) {
  // A loudspeaker with its sound.
  QPolygonF cone;
  cone << QPointF(7, 14) << QPointF(12, 14) << QPointF(19, 8) << QPointF(19, 28) << QPointF(12, 22)
       << QPointF(7, 22);
  p.setBrush(Qt::white);
  p.drawPolygon(cone);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(17, 12, 8, 12), -60 * 16, 120 * 16);
  p.drawArc(QRectF(17, 8, 13, 20), -60 * 16, 120 * 16);
}

struct IconDesign {
  int32_t iconId;
  QColor tile;
  Glyph glyph;
};

const std::array<IconDesign, 25> kIcons = {{
    {216, kRestoration, Impulse},
    {222, kRestoration, ContinuousNoise},
    {227, kRestoration, HarmonicNoise},
    {224, kRestoration, DynamicNoise},
    {261, kRestoration, Adaptive},
    {229, kEqualising, LowPass},
    {220, kEqualising, BandPass},
    {228, kEqualising, HighPass},
    {231, kEqualising, Notch},
    {230, kEqualising, Median},
    {219, kEqualising, Averaging},
    {226, kEqualising, GraphicEq},
    {232, kEqualising, ParagraphicEq},
    {260, kEqualising, BrickWall},
    {225, kEffect, FileConversion},
    {234, kEffect, Reverb},
    {233, kEffect, VirtualValve},
    {249, kEffect, ChannelBlender},
    {235, kEffect, PitchChange},
    {250, kEffect, MultiFilter},
    {221, kDynamics, Dynamics},
    {277, kDynamics, PunchAndCrunch},
    {270, kDynamics, Normalize},
    {242, kChainEnd, Input},
    {244, kChainEnd, Output},
}};

QPixmap Paint(const IconDesign& design) {
  QPixmap pixmap(kFilterIconSize, kFilterIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(design.tile.darker(140), 1));
  painter.setBrush(design.tile);
  painter.drawRoundedRect(QRectF(1.5, 1.5, 33, 33), 6, 6);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  design.glyph(painter);
  return pixmap;
}

}  // namespace

QPixmap FilterIconById(int32_t iconId) {
  for (const IconDesign& design : kIcons)
    if (design.iconId == iconId) return Paint(design);
  return {};
}

QPixmap FilterIconPixmap(int iconIndex) {
  const std::span<const FilterTypeEntry> list = ChainFilterList();
  if (iconIndex < 0 || iconIndex >= static_cast<int>(list.size())) return {};
  return FilterIconById(list[static_cast<size_t>(iconIndex)].iconId);
}

QIcon FilterIcon(FilterTypeId type) {
  const FilterDescriptor* descriptor = FindFilterDescriptor(type);
  if (descriptor != nullptr) type = descriptor->typeId;  // the second median type is the median
  for (const FilterTypeEntry& entry : BatchFilterList())
    if (entry.typeId == type) return QIcon(FilterIconById(entry.iconId));
  for (const FilterTypeEntry& entry : ChainFilterList())
    if (entry.typeId == type) return QIcon(FilterIconById(entry.iconId));
  return {};
}

}  // namespace ztlive
