#include "live/chain_filter_list_widget.h"

#include <QApplication>
#include <QMouseEvent>

#include "filters/filter_icons.h"
#include "filters/filter_registry.h"

namespace ztlive {

ChainFilterListWidget::ChainFilterListWidget(QWidget* parent) : QListWidget(parent) {
  setIconSize(QSize(kFilterIconSize, kFilterIconSize));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(false);  // the drag is this widget's own: it ends where the mouse lets go
  int iconIndex = 0;
  for (const FilterTypeEntry& entry : ChainFilterList()) {
    if (entry.typeId >= 0) {
      auto* item = new QListWidgetItem(QIcon(FilterIconPixmap(iconIndex)), QString::fromUtf8(entry.name.data(),
                                       static_cast<qsizetype>(entry.name.size())), this);
      item->setData(Qt::UserRole, entry.typeId);
    }
    ++iconIndex;
  }
}

FilterTypeId ChainFilterListWidget::TypeOf(const QListWidgetItem& item) { return item.data(Qt::UserRole).toInt(); }

QListWidgetItem* ChainFilterListWidget::ItemOfType(FilterTypeId type) const {
  for (int row = 0; row < count(); ++row)
    if (TypeOf(*item(row)) == type) return item(row);
  return nullptr;
}

void ChainFilterListWidget::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);
  m_dragging = false;
  m_pressPoint = event->position().toPoint();
  m_pressed = event->button() == Qt::LeftButton ? itemAt(m_pressPoint) : nullptr;
}

void ChainFilterListWidget::mouseMoveEvent(QMouseEvent* event) {
  if (m_pressed == nullptr || !(event->buttons() & Qt::LeftButton)) return QListWidget::mouseMoveEvent(event);
  if (!m_dragging &&
      (event->position().toPoint() - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
    m_dragging = true;
    setCursor(QCursor(m_pressed->icon().pixmap(kFilterIconSize)));
  }
}

void ChainFilterListWidget::mouseReleaseEvent(QMouseEvent* event) {
  QListWidgetItem* dragged = m_dragging && event->button() == Qt::LeftButton ? m_pressed : nullptr;
  m_pressed = nullptr;
  m_dragging = false;
  unsetCursor();
  QListWidget::mouseReleaseEvent(event);
  if (dragged != nullptr) emit itemDropped(TypeOf(*dragged), event->globalPosition().toPoint());
}

}  // namespace ztlive
