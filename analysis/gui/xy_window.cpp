#include "analysis/gui/xy_window.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

namespace ztlive {

// The plot area: a square centred in the control, the circle, axes and ticks, the trace.
class XyPlot : public QWidget {
 public:
  explicit XyPlot(XyWindow& window) : QWidget(&window), m_window(window), m_points(PlayedBufferRing::kSlotValues) {
    setObjectName(QStringLiteral("xyPlot"));
    setMinimumSize(200, 200);
    m_line.reserve(PlayedBufferRing::kSlotValues + 1);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QRect control = rect();
    QRect square((control.width() - control.height()) / 2, 0, control.height(), control.height());
    if (square.width() > control.width()) square = QRect(0, (control.height() - control.width()) / 2, control.width(), control.width());
    square.adjust(2, 2, -2, -2);
    const QColor grey(128, 128, 128);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(grey, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(square);
    const QRect inner = square.adjusted(2, 2, -2, -2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(inner);
    const int d = square.height();
    const int cx = square.center().x(), cy = square.center().y();
    painter.setPen(QPen(grey, 2));
    painter.drawLine(square.left(), cy, square.right(), cy);
    painter.drawLine(cx, square.top(), cx, square.bottom());
    const int m = std::max(1, d / 10);
    for (int x = square.left(); x <= square.right(); x += std::max(1, square.width() / 10))
      painter.drawLine(x, cy - m / 4, x, cy + m / 4);
    for (int y = square.top(); y <= square.bottom(); y += m) painter.drawLine(cx - m / 4, y, cx + m / 4, y);
    const size_t count = TraceXy(m_window.m_values.data(), m_window.m_valueCount, m_window.m_channels, d,
                                 m_window.Gains(), m_points.data(), m_points.size());
    m_line.clear();
    m_line.append(QPoint(cx, cy));
    for (size_t i = 0; i < count; ++i) m_line.append(QPoint(cx + m_points[i].x, cy - m_points[i].y));
    painter.setPen(QPen(QColor(0, 255, 0), 1));
    painter.drawPolyline(m_line);
  }

 private:
  XyWindow& m_window;
  std::vector<XyPoint> m_points;
  QPolygon m_line;
};

XyWindow::XyWindow(QWidget* parent) : QDialog(parent), m_values(PlayedBufferRing::kSlotValues, 0) {
  setWindowTitle(QStringLiteral("X-Y Vector Display"));
  setObjectName(QStringLiteral("xyDisplay"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  m_plot = new XyPlot(*this);
  m_left = new QSlider(Qt::Horizontal, this);
  m_right = new QSlider(Qt::Vertical, this);
  for (QSlider* slider : {m_left, m_right}) {
    slider->setRange(0, 200);
    slider->setPageStep(20);
    slider->setValue(100);
    connect(slider, &QSlider::valueChanged, m_plot, qOverload<>(&QWidget::update));
  }
  m_right->setInvertedAppearance(true);  // runs top to bottom: the top end is the largest gain
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel(QStringLiteral("R Gain"), this));
  right->addWidget(m_right, 1);
  auto* upper = new QHBoxLayout;
  upper->addWidget(m_plot, 1);
  upper->addLayout(right);
  auto* lower = new QHBoxLayout;
  lower->addWidget(new QLabel(QStringLiteral("L Gain"), this));
  lower->addWidget(m_left, 1);
  lower->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(upper, 1);
  layout->addLayout(lower);
  resize(320, 340);
}

XyGains XyWindow::Gains() const { return XyGains::FromSliders(m_left->value(), m_right->value()); }

QWidget& XyWindow::Plot() { return *m_plot; }

void XyWindow::TakeBlock(const PlayedBlock& block) {
  m_valueCount = std::min(block.valueCount, static_cast<int>(m_values.size()));
  std::copy_n(block.values, m_valueCount, m_values.begin());
  m_channels = block.channels;
  m_dirty = true;
}

void XyWindow::Refresh(int) {
  if (m_dirty) m_plot->update();
  m_dirty = false;
}

}  // namespace ztlive
