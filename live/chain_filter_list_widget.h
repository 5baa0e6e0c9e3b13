// The filter list of the "Multi-Filter" window: the chain's filters in list order with their
// icons and their type as item data (the chain's two ends are not listed, so an item's row is
// its icon index). An item dragged out of the list is reported where the mouse lets go of it,
// so the window can drop it onto the graph.
#pragma once

#include <QListWidget>
#include <QPoint>

#include "filters/framework/filter_types.h"

namespace ztlive {

class ChainFilterListWidget : public QListWidget {
  Q_OBJECT

 public:
  explicit ChainFilterListWidget(QWidget* parent = nullptr);

  // The type an item stands for.
  static FilterTypeId TypeOf(const QListWidgetItem& item);
  QListWidgetItem* ItemOfType(FilterTypeId type) const;

 signals:
  // An item was dragged and let go at a point on the screen.
  void itemDropped(FilterTypeId type, QPoint globalPoint);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QListWidgetItem* m_pressed = nullptr;
  QPoint m_pressPoint;
  bool m_dragging = false;
};

}  // namespace ztlive
