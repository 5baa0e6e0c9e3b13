#include "app/wave_pane_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

namespace ztlive {

namespace {

constexpr int kFrame = 2;               // pixels of frame around the drawing rectangle
constexpr double kFullScale = 32768.0;  // column peaks are in 16-bit scale
constexpr int kOffsetStep = 1000;       // the vertical offset moves in these steps

// Tick spacings of the time ruler, in seconds.
constexpr std::array<double, 22> kTickSeconds = {0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1,
                                                 0.2,    0.5,   1,     2,     5,    10,   15,   30,
                                                 60,     120,   300,   600,   1800, 3600};
constexpr int kMinTickPixels = 90;

// "h:mm:ss.ffff" cut to the decimals the tick spacing needs; hours only when there are any.
QString TimeLabel(double seconds, int decimals) {
  // Rounded once in units of the last decimal, so 2.9999999 s reads 0:03.000.
  long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const long long units = std::llround(seconds * double(scale));
  const long long whole = units / scale;
  const long long hours = whole / 3600;
  const long long minutes = whole / 60 % 60;
  const long long secs = whole % 60;
  QString text = hours > 0 ? QString::asprintf("%lld:%02lld:%02lld", hours, minutes, secs)
                           : QString::asprintf("%lld:%02lld", minutes, secs);
  if (decimals > 0) text += QString::asprintf(".%0*lld", decimals, units % scale);
  return text;
}

}  // namespace

WavePaneWidget::WavePaneWidget(DocumentViewState& state, PaneId id, QWidget* parent)
    : QWidget(parent),
      m_state(state),
      m_id(id),
      m_horizontal(new QScrollBar(Qt::Horizontal, this)),
      m_amplitude(new QScrollBar(Qt::Vertical, this)),
      m_offset(new QScrollBar(Qt::Vertical, this)) {
  setMouseTracking(true);
  setContextMenuPolicy(Qt::PreventContextMenu);  // the right button is handled as a press
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(160, 90);
  m_columnRects.reserve(WavePane::kMaxColumns);

  m_horizontal->setRange(0, 0);
  m_horizontal->setPageStep(WavePane::kScrollRange);
  m_amplitude->setRange(1, 10);
  m_amplitude->setSingleStep(1);
  m_amplitude->setPageStep(1);
  m_offset->setRange(-32000 / kOffsetStep, 32000 / kOffsetStep);
  m_offset->setSingleStep(1);
  m_offset->setPageStep(4);
  connect(m_horizontal, &QScrollBar::actionTriggered, this, &WavePaneWidget::OnHorizontalAction);
  connect(m_amplitude, &QScrollBar::actionTriggered, this, &WavePaneWidget::OnAmplitudeAction);
  connect(m_offset, &QScrollBar::actionTriggered, this, &WavePaneWidget::OnOffsetAction);
  SyncFromPane();
}

const QCursor& WavePaneWidget::MarkerCursor() {
  static const QCursor cursor = [] {
    QPixmap image(16, 24);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::white, 3));
    painter.drawLine(4, 1, 4, 22);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(4, 1, 4, 22);
    const QPointF flag[] = {{5, 2}, {14, 5.5}, {5, 9}};
    painter.setBrush(QColor(210, 30, 30));
    painter.drawPolygon(flag, 3);
    painter.end();
    return QCursor(image, 4, 12);
  }();
  return cursor;
}

void WavePaneWidget::SetColours(const PaneColours& colours) {
  m_colours = colours;
  update();
}

void WavePaneWidget::SetCleanDisplay(bool clean) {
  m_clean = clean;
  update();
}

void WavePaneWidget::SetRulerShown(bool shown) {
  m_rulerShown = shown;
  update();
}

void WavePaneWidget::SetActive(bool active) {
  if (active == m_active) return;
  m_active = active;
  update();
}

QRect WavePaneWidget::DrawingRect() const {
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return QRect(kFrame, kFrame, std::max(1, width() - 2 * bar - 2 * kFrame), std::max(1, height() - bar - 2 * kFrame));
}

PaneRect WavePaneWidget::MouseRect() const {
  const QRect area = DrawingRect();
  return PaneRect{double(area.left()), double(area.right())};
}

QRectF WavePaneWidget::LaneRect(int channel) const {
  QRect area = DrawingRect();
  if (RulerShown()) area.setTop(std::min(area.bottom(), area.top() + kRulerHeight));
  const int lanes = std::max(1, m_state.Pane(m_id).FileName().empty() ? 1 : m_state.Pane(m_id).Channels());
  const double height = double(area.height()) / lanes;
  return QRectF(area.left(), area.top() + channel * height, area.width(), height);
}

void WavePaneWidget::LayOutBars() {
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  m_horizontal->setGeometry(0, height() - bar, width() - 2 * bar, bar);
  m_amplitude->setGeometry(width() - 2 * bar, 0, bar, height() - bar);
  m_offset->setGeometry(width() - bar, 0, bar, height() - bar);
}

void WavePaneWidget::SyncFromPane() {
  const WavePane& pane = Pane();
  const bool hasFile = !pane.FileName().empty();
  const int page = std::clamp(pane.ScrollPage(), 1, WavePane::kScrollRange);
  m_horizontal->setRange(0, WavePane::kScrollRange - page);
  m_horizontal->setPageStep(page);
  m_horizontal->setSingleStep(std::max(1, page / 10));
  m_horizontal->setValue(pane.ScrollPosition());
  m_amplitude->setValue(pane.View().amplitudeZoom);
  m_offset->setValue(pane.View().verticalOffset / kOffsetStep);
  m_horizontal->setEnabled(hasFile);
  m_amplitude->setEnabled(hasFile);
  m_offset->setEnabled(hasFile);
  update();
}

void WavePaneWidget::OnHorizontalAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: m_state.ScrollLines(m_id, 1); break;
    case QAbstractSlider::SliderSingleStepSub: m_state.ScrollLines(m_id, -1); break;
    case QAbstractSlider::SliderPageStepAdd: m_state.ScrollPages(m_id, 1); break;
    case QAbstractSlider::SliderPageStepSub: m_state.ScrollPages(m_id, -1); break;
    case QAbstractSlider::SliderToMinimum: m_state.ScrollTo(m_id, 0); break;
    case QAbstractSlider::SliderToMaximum: m_state.ScrollTo(m_id, WavePane::kScrollRange); break;
    case QAbstractSlider::SliderMove: m_state.ScrollTo(m_id, m_horizontal->sliderPosition()); break;
    default: return;
  }
  // The bar ends where the rules put the view, not where its own step would.
  m_horizontal->setSliderPosition(Pane().ScrollPosition());
  emit interacted();
}

void WavePaneWidget::OnAmplitudeAction(int action) {
  if (action == QAbstractSlider::SliderNoAction) return;
  Pane().StepAmplitudeZoom(m_amplitude->sliderPosition() - Pane().View().amplitudeZoom);
  m_amplitude->setSliderPosition(Pane().View().amplitudeZoom);
  emit interacted();
}

void WavePaneWidget::OnOffsetAction(int action) {
  if (action == QAbstractSlider::SliderNoAction) return;
  Pane().StepVerticalOffset(m_offset->sliderPosition() - Pane().View().verticalOffset / kOffsetStep);
  m_offset->setSliderPosition(Pane().View().verticalOffset / kOffsetStep);
  emit interacted();
}

void WavePaneWidget::ShowPointer(PointerShape shape) {
  if (shape == m_shape) return;
  m_shape = shape;
  switch (shape) {
    case PointerShape::Arrow: setCursor(Qt::ArrowCursor); break;
    case PointerShape::ResizeHorizontal: setCursor(Qt::SizeHorCursor); break;
    case PointerShape::Marker: setCursor(MarkerCursor()); break;
  }
}

void WavePaneWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutBars();
  Pane().SetColumns(DrawingRect().width());
  SyncFromPane();
}

void WavePaneWidget::mousePressEvent(QMouseEvent* event) {
  const double x = event->position().x();
  const PaneRect area = MouseRect();
  if (event->button() == Qt::RightButton) {
    emit contextMenuRequested(Pane().OffsetAt(x, area.left, area.right), event->globalPosition().toPoint());
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  emit pressStarting();
  m_state.Press(m_id, x, (event->modifiers() & Qt::ShiftModifier) != 0, area);
  m_pressed = true;
  m_pressPoint = m_dragPoint = event->position();
  emit interacted();
}

void WavePaneWidget::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  if (m_pressed && (event->buttons() & Qt::LeftButton) != 0) {
    m_dragPoint = event->position();
    m_state.Drag(x, MouseRect());
    emit interacted();
    return;
  }
  ShowPointer(m_state.Hover(m_id, x, MouseRect()));
}

void WavePaneWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_pressed) return;
  m_pressed = false;
  m_dragPoint = event->position();
  if (m_state.Release(event->position().x(), MouseRect())) {
    double fraction = 0;
    double centre = 0;
    BandShape(fraction, centre);
    m_state.ZoomIn(fraction, centre);
  }
  ShowPointer(m_state.Hover(m_id, event->position().x(), MouseRect()));
  emit interacted();
}

void WavePaneWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  emit pressStarting();
  m_pressed = false;
  m_state.DoubleClick(m_id, event->position().x(), MouseRect());
  emit interacted();
}

void WavePaneWidget::wheelEvent(QWheelEvent* event) {
  // A wheel notch (120) scrolls a line; rolling towards the user moves later in the file.
  const QPoint delta = event->angleDelta();
  m_wheelRemainder += delta.x() != 0 ? delta.x() : delta.y();
  const int lines = m_wheelRemainder / 120;
  m_wheelRemainder -= lines * 120;
  if (lines == 0 || Pane().FileName().empty()) return;
  m_state.ScrollLines(m_id, -lines);
  emit interacted();
}

void WavePaneWidget::BandShape(double& fraction, double& centre) const {
  const double top = std::min(m_pressPoint.y(), m_dragPoint.y());
  const double bottom = std::max(m_pressPoint.y(), m_dragPoint.y());
  const double middle = (top + bottom) / 2;
  // The band zooms the lane its middle lies in (each channel has its own amplitude axis).
  int channel = 0;
  const int lanes = std::max(1, m_state.Pane(m_id).Channels());
  while (channel + 1 < lanes && middle >= LaneRect(channel).bottom()) ++channel;
  const QRectF lane = LaneRect(channel);
  const double height = std::min(bottom, lane.bottom()) - std::max(top, lane.top());
  fraction = height >= kMinBandPixels ? height / lane.height() : 0;
  centre = (lane.center().y() - middle) / (lane.height() / 2);
}

void WavePaneWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = DrawingRect();
  painter.fillRect(rect(), palette().window());
  // The frame: the active pane's in the palette's highlight.
  const QColor frame = m_active ? palette().color(QPalette::Highlight) : palette().color(QPalette::Mid);
  painter.setPen(QPen(frame, m_active ? 2 : 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(area).adjusted(-1, -1, 1, 1));

  const WavePane& pane = m_state.Pane(m_id);
  if (pane.FileName().empty()) {
    painter.fillRect(area, palette().color(QPalette::Base).darker(112));
    return;
  }
  painter.fillRect(area, m_colours.background);
  painter.setClipRect(area);
  QRect lanes = area;
  if (RulerShown()) {
    const QRect ruler(area.left(), area.top(), area.width(), std::min(kRulerHeight, area.height()));
    lanes.setTop(ruler.bottom() + 1);
    PaintRuler(painter, ruler);
  }

  // The selection, at least one pixel wide while any of it is in view.
  const PaneRect span = MouseRect();
  const PaneView& view = pane.View();
  if (pane.SelectionEnd() > pane.SelectionStart() && pane.SelectionEnd() >= view.start &&
      pane.SelectionStart() <= view.end) {
    const double x0 = std::floor(pane.PixelAt(pane.SelectionStart(), span.left, span.right));
    const double x1 = std::floor(pane.PixelAt(pane.SelectionEnd(), span.left, span.right));
    painter.fillRect(QRectF(x0, lanes.top(), std::max(1.0, x1 - x0 + 1), lanes.height()), m_colours.highlight);
    painter.setPen(m_colours.highlight.darker(150));
    painter.drawLine(QPointF(x0 + 0.5, lanes.top()), QPointF(x0 + 0.5, lanes.bottom() + 1));
    painter.drawLine(QPointF(x1 + 0.5, lanes.top()), QPointF(x1 + 0.5, lanes.bottom() + 1));
  }

  PaintLanes(painter, lanes);
  PaintMarkers(painter, lanes);

  if (pane.Cursor() >= 0 && static_cast<uint64_t>(pane.Cursor()) >= view.start &&
      static_cast<uint64_t>(pane.Cursor()) <= view.end) {
    const double x = std::floor(pane.PixelAt(static_cast<uint64_t>(pane.Cursor()), span.left, span.right)) + 0.5;
    painter.setPen(QPen(m_colours.caret, 1));
    painter.drawLine(QPointF(x, lanes.top()), QPointF(x, lanes.bottom() + 1));
  }

  if (m_pressed && m_state.ShiftBandSelection()) {
    painter.setPen(QPen(m_colours.caret, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(m_pressPoint, m_dragPoint).normalized());
  }
}

void WavePaneWidget::PaintLanes(QPainter& painter, const QRect& area) {
  const WavePane& pane = m_state.Pane(m_id);
  const int channels = std::max(1, pane.Channels());
  const int columns = pane.Columns();
  const std::vector<int16_t>& peaks = pane.ColumnPeaks();
  const double columnWidth = columns > 0 ? double(area.width()) / columns : 1;
  const double offset = pane.View().verticalOffset;
  const QColor axis = m_colours.background.darker(135);
  const QColor grid = m_colours.background.darker(115);

  for (int channel = 0; channel < channels; ++channel) {
    const QRectF lane = LaneRect(channel);
    const double middle = lane.top() + lane.height() / 2;
    const double scale = pane.View().amplitudeZoom * (lane.height() / 2) / kFullScale;
    // Sample value v is drawn at middle - (v + offset) * scale, so a positive offset lifts
    // the envelope and shows more of its lower half.
    const auto yOf = [&](double value) { return middle - (value + offset) * scale; };

    if (channel > 0) {
      painter.setPen(axis);
      painter.drawLine(QPointF(lane.left(), lane.top()), QPointF(lane.right(), lane.top()));
    }
    if (!m_clean) {
      painter.setPen(QPen(grid, 1, Qt::DotLine));
      for (const double level : {-kFullScale / 2, kFullScale / 2}) {
        const double y = std::floor(yOf(level)) + 0.5;
        if (y > lane.top() && y < lane.bottom()) painter.drawLine(QPointF(lane.left(), y), QPointF(lane.right(), y));
      }
    }
    const double zeroY = std::floor(yOf(0)) + 0.5;
    if (zeroY >= lane.top() && zeroY <= lane.bottom()) {
      painter.setPen(axis);
      painter.drawLine(QPointF(lane.left(), zeroY), QPointF(lane.right(), zeroY));
    }

    // One bar per column from -peak to +peak, held inside the lane; one call draws them all.
    // Whole pixels: the raster engine fills integer rectangles as plain spans.
    m_columnRects.resize(static_cast<size_t>(columns));
    size_t bars = 0;
    const int laneTop = static_cast<int>(std::ceil(lane.top()));
    const int laneEnd = static_cast<int>(std::floor(lane.top() + lane.height()));
    for (int column = 0; column < columns; ++column) {
      const double peak = peaks[static_cast<size_t>(column * channels + channel)];
      if (peak <= 0) continue;
      const int top = std::max(laneTop, static_cast<int>(std::floor(yOf(peak))));
      const int end = std::min(laneEnd, static_cast<int>(std::ceil(yOf(-peak))) + 1);
      if (end <= top) continue;
      const int x = area.left() + static_cast<int>(column * columnWidth);
      const int next = area.left() + static_cast<int>((column + 1) * columnWidth);
      m_columnRects[bars++] = QRect(x, top, std::max(1, next - x), end - top);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_colours.envelope);
    painter.drawRects(m_columnRects.data(), static_cast<int>(bars));
  }
}

void WavePaneWidget::PaintMarkers(QPainter& painter, const QRect& area) {
  WavePane& pane = Pane();
  const PeakFile* markers = pane.Markers();
  if (markers == nullptr || markers->MarkerCount() == 0) return;
  const PaneRect span = MouseRect();
  const PaneView& view = pane.View();
  painter.setFont(font());
  const int flagHeight = painter.fontMetrics().height() + 2;
  for (int i = 0; i < markers->MarkerCount(); ++i) {
    const uint64_t position = markers->MarkerPosition(i);
    if (position < view.start || position > view.end) continue;
    const bool selected = i == pane.SelectedMarker();
    const QColor colour = selected ? m_colours.selectedMarker : m_colours.marker;
    const double x = std::floor(pane.PixelAt(position, span.left, span.right)) + 0.5;
    painter.setPen(QPen(colour, selected ? 2 : 1, selected ? Qt::SolidLine : Qt::DashLine));
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom() + 1));
    // A flag with the label at the top, to the right of the line.
    const QString label = QString::fromStdString(markers->Markers()[static_cast<size_t>(i)].label);
    const QRectF flag(x, area.top(), painter.fontMetrics().horizontalAdvance(label) + 8, flagHeight);
    painter.fillRect(flag, colour);
    painter.setPen(Qt::white);
    painter.drawText(flag, Qt::AlignCenter, label);
  }
}

void WavePaneWidget::PaintRuler(QPainter& painter, const QRect& ruler) {
  const WavePane& pane = m_state.Pane(m_id);
  painter.fillRect(ruler, palette().color(QPalette::Window).lighter(104));
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(ruler.bottomLeft(), ruler.bottomRight());
  const double bytesPerSecond = double(pane.SampleRate()) * std::max(1, pane.BlockAlign());
  const PaneView& view = pane.View();
  if (bytesPerSecond <= 0 || view.end <= view.start) return;
  const double startSeconds = double(view.start) / bytesPerSecond;
  const double endSeconds = double(view.end) / bytesPerSecond;
  const double pixelsPerSecond = ruler.width() / (endSeconds - startSeconds);
  double step = kTickSeconds.back();
  for (const double candidate : kTickSeconds)
    if (candidate * pixelsPerSecond >= kMinTickPixels) {
      step = candidate;
      break;
    }
  const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : step >= 0.001 ? 3 : 4;
  QFont font = painter.font();
  font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.8));
  painter.setFont(font);
  painter.setPen(palette().color(QPalette::WindowText));
  const PaneRect span = MouseRect();
  for (auto tick = static_cast<long long>(std::ceil(startSeconds / step)); double(tick) * step <= endSeconds; ++tick) {
    const double t = double(tick) * step;
    const auto offset = static_cast<uint64_t>(std::llround(t * bytesPerSecond));
    const double x = std::floor(pane.PixelAt(offset, span.left, span.right)) + 0.5;
    painter.drawLine(QPointF(x, ruler.bottom() - 4), QPointF(x, ruler.bottom()));
    painter.drawText(QRectF(x + 3, ruler.top(), kMinTickPixels, ruler.height() - 2), Qt::AlignLeft | Qt::AlignVCenter,
                     TimeLabel(t, decimals));
  }
}

}  // namespace ztlive
