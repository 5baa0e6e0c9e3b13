#include "analysis/gui/level_meter_bar.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace ztlive {

namespace {

constexpr int kBarWidth = 14;
constexpr int kMargin = 4;
constexpr double kFullScale = kSampleMax;

}  // namespace

LevelMeterBar::LevelMeterBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("levelMeter"));
  setMinimumSize(56, 120);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect LevelMeterBar::LeftBar() const { return {kMargin, kMargin, kBarWidth, height() - 2 * kMargin}; }
QRect LevelMeterBar::RightBar() const {
  return {width() - kMargin - kBarWidth, kMargin, kBarWidth, height() - 2 * kMargin};
}

void LevelMeterBar::TakeBlock(const PlayedBlock& block) {
  const auto peaks = LevelMeterState::PeaksOf(block.values, block.valueCount, block.channels);
  m_sampleRate = block.sampleRate;
  m_state.Update(peaks[0], peaks[1], block.sampleRate);
  m_quietMs = 0;
  m_dirty = true;
}

void LevelMeterBar::Refresh(int elapsedMs) {
  // After the sound stops the bars drop and the hold falls on at the pace of played buffers.
  m_quietMs += elapsedMs;
  const int bufferMs = static_cast<int>(4096 * 1000LL / std::max(1, m_sampleRate));
  if (m_quietMs >= bufferMs && (m_state.Left() | m_state.Right() | m_state.HoldLeft() | m_state.HoldRight()) != 0) {
    m_quietMs -= bufferMs;
    m_state.Update(0, 0, m_sampleRate);
    m_dirty = true;
  }
  if (m_dirty && isVisible()) update();
  m_dirty = false;
}

void LevelMeterBar::resizeEvent(QResizeEvent*) { BuildImages(); }

void LevelMeterBar::BuildImages() {
  const QRect bar = LeftBar().adjusted(2, 2, -2, -2);
  if (bar.width() <= 0 || bar.height() <= 0) return;
  m_lit = QImage(bar.size(), QImage::Format_RGB32);
  m_unlit = QImage(bar.size(), QImage::Format_RGB32);
  QLinearGradient lit(0, 0, 0, bar.height());
  lit.setColorAt(0.0, QColor(230, 40, 30));
  lit.setColorAt(0.12, QColor(240, 210, 40));
  lit.setColorAt(0.35, QColor(60, 210, 70));
  lit.setColorAt(1.0, QColor(30, 150, 50));
  QPainter(&m_lit).fillRect(m_lit.rect(), lit);
  QLinearGradient unlit(0, 0, 0, bar.height());
  unlit.setColorAt(0.0, QColor(70, 25, 20));
  unlit.setColorAt(0.12, QColor(70, 65, 20));
  unlit.setColorAt(1.0, QColor(20, 55, 25));
  QPainter(&m_unlit).fillRect(m_unlit.rect(), unlit);
}

void LevelMeterBar::PaintBar(QPainter& painter, const QRect& frame, int level, int hold) {
  painter.setPen(QColor(110, 110, 110));
  painter.drawRect(frame.adjusted(0, 0, -1, -1));
  const QRect bar = frame.adjusted(2, 2, -2, -2);
  if (m_lit.isNull() || bar.height() <= 0) return;
  const double f = std::clamp(level / kFullScale, 0.0, 1.0);
  const int litHeight = static_cast<int>(bar.height() * f);
  const int y = bar.bottom() + 1 - litHeight;
  const QRect unlitPart(bar.left(), bar.top(), bar.width(), y - bar.top());
  painter.drawImage(unlitPart, m_unlit, QRect(0, 0, m_unlit.width(), unlitPart.height()));
  const QRect litPart(bar.left(), y, bar.width(), litHeight);
  painter.drawImage(litPart, m_lit, QRect(0, m_lit.height() - litHeight, m_lit.width(), litHeight));
  const int holdY = bar.bottom() - static_cast<int>(bar.height() * std::clamp(hold / kFullScale, 0.0, 1.0));
  painter.setPen(Qt::white);
  painter.drawLine(bar.left(), holdY, bar.right(), holdY);
}

void LevelMeterBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(32, 32, 32));
  const QRect left = LeftBar();
  PaintBar(painter, left, m_state.Left(), m_state.HoldLeft());
  PaintBar(painter, RightBar(), m_state.Right(), m_state.HoldRight());
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  font.setWeight(QFont::Light);
  painter.setFont(font);
  painter.setPen(QColor(220, 220, 220));
  const int middle = (left.right() + RightBar().left()) / 2;
  const QFontMetrics metrics(font);
  const auto label = [&](const QString& text, int baseline) {
    painter.drawText(middle - metrics.horizontalAdvance(text) / 2, baseline, text);
  };
  for (const LevelMeterState::ScaleMark& mark : LevelMeterState::Scale())
    label(QString::fromStdString(mark.text).trimmed(), left.bottom() - mark.step * left.height() / 10);
  label(QStringLiteral("0"), left.top() + metrics.ascent());
}

}  // namespace ztlive
