#include "live/chain_graph_widget.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "filters/filter_icons.h"

namespace ztlive {

namespace {

constexpr int kHitSize = 32;
constexpr int kLabelTop = kFilterIconSize + 1;
constexpr int kLabelStep = 12;  // every second label one row lower, so neighbours never overlap

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

ChainGraphWidget::ChainGraphWidget(FilterChain& chain, QWidget* parent)
    : QFrame(parent), m_chain(chain), m_deleteAction(new QAction(QStringLiteral("Delete Filter"), this)) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  colours.setColor(QPalette::WindowText, Qt::black);
  setPalette(colours);
  setMinimumSize(560, 150);
  setMouseTracking(false);
  connect(m_deleteAction, &QAction::triggered, this, &ChainGraphWidget::DeleteSelected);
}

QPoint ChainGraphWidget::NodeCentre(const ChainNode& node) const {
  return {node.x + kHitSize / 2, node.y + kHitSize / 2};
}

void ChainGraphWidget::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  m_chain.SetGraphArea({2, 2, width() - 2, height() - 2});
  update();
}

void ChainGraphWidget::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const FilterChain::NodeList& nodes = m_chain.Nodes();

  painter.setPen(QPen(Qt::black, 1));
  for (auto it = nodes.begin(); it != nodes.end() && std::next(it) != nodes.end(); ++it) {
    const ChainNode& next = *std::next(it);
    painter.drawLine(it->x + kHitSize, it->y + kHitSize / 2, next.x, next.y + kHitSize / 2);
  }

  QFont labelFont = font();
  labelFont.setPointSize(8);
  painter.setFont(labelFont);
  int position = 0;
  for (const ChainNode& node : nodes) {
    const bool draggedAway = m_dragging && &node == m_pressed;
    if (draggedAway) painter.setOpacity(0.35);
    painter.drawPixmap(node.x, node.y, FilterIconPixmap(node.iconIndex));
    painter.setOpacity(1.0);
    if (node.IsFilter()) {
      const int top = node.y + kLabelTop + (position % 2 == 0 ? kLabelStep : 0);
      const QRect label(node.x + kHitSize / 2 - 60, top, 120, kLabelStep + 2);
      painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, Text(m_chain.NodeLabel(node)));
    }
    if (node.selected) {
      painter.setPen(QPen(Qt::black, 1));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(node.x, node.y, 34, 34);  // a 35 x 35 frame
    }
    ++position;
  }
  if (m_dragging && m_pressed != nullptr) {
    // The drag image: the node's icon under the cursor.
    painter.drawPixmap(m_dragPoint - QPoint(kHitSize / 2, kHitSize / 2), FilterIconPixmap(m_pressed->iconIndex));
  }
}

void ChainGraphWidget::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::RightButton) {
    m_chain.SelectAt(point.x(), point.y());
    update();
    event->accept();
    return;
  }
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  ChainNode* node = m_chain.SelectAt(point.x(), point.y());
  // Only filter nodes move; the chain's two ends stay where they are.
  m_pressed = node != nullptr && node->IsFilter() && EditAllowed() ? node : nullptr;
  m_pressPoint = point;
  m_dragging = false;
  update();
}

void ChainGraphWidget::mouseMoveEvent(QMouseEvent* event) {
  if (m_pressed == nullptr || !(event->buttons() & Qt::LeftButton)) return;
  m_dragPoint = event->position().toPoint();
  if (!m_dragging && (m_dragPoint - m_pressPoint).manhattanLength() < QApplication::startDragDistance()) return;
  m_dragging = true;
  setCursor(Qt::ClosedHandCursor);
  update();
}

void ChainGraphWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_pressed == nullptr) return QFrame::mouseReleaseEvent(event);
  const bool dragged = m_dragging;
  m_pressed = nullptr;
  m_dragging = false;
  unsetCursor();
  const QPoint drop = event->position().toPoint();
  if (dragged && EditAllowed()) {
    if (m_chain.Area().Contains(drop.x(), drop.y()))
      m_chain.MoveSelectedNode(drop.x());
    else
      m_chain.DeleteSelectedNode();
    emit chainEdited();
  }
  update();
}

void ChainGraphWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  m_pressed = nullptr;
  m_dragging = false;
  const QPoint point = event->position().toPoint();
  if (ChainNode* node = m_chain.SelectAt(point.x(), point.y()); node != nullptr) {
    update();
    emit nodeActivated(node);
  }
}

void ChainGraphWidget::contextMenuEvent(QContextMenuEvent* event) {
  const ChainNode* selected = m_chain.SelectedNode();
  m_deleteAction->setEnabled(EditAllowed() && selected != nullptr && selected->IsFilter());
  QMenu menu(this);
  menu.addAction(m_deleteAction);
  menu.exec(event->globalPos());
}

void ChainGraphWidget::DeleteSelected() {
  if (!EditAllowed()) return;
  m_chain.DeleteSelectedNode();
  emit chainEdited();
  update();
}

}  // namespace ztlive
