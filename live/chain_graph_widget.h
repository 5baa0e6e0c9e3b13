// The graph of the "Multi-Filter" window: the chain's nodes on white, joined by lines, each
// with its icon and (for a filter) its label. The widget's coordinates are the chain's: its
// graph area is the widget's rectangle shrunk by 2, so a drop lands where the chain's layout
// says. Editing by mouse: drag a filter node and drop it inside the area to move it or outside
// to delete it; the right button selects and offers "Delete Filter"; a double click asks the
// window to open what the node stands for.
#pragma once

#include <QFrame>
#include <QPoint>
#include <functional>

#include "live/filter_chain.h"

class QAction;

namespace ztlive {

class ChainGraphWidget : public QFrame {
  Q_OBJECT

 public:
  explicit ChainGraphWidget(FilterChain& chain, QWidget* parent = nullptr);

  // Whether the chain may be edited now (not during a run); always when not set.
  void SetEditAllowed(std::function<bool()> allowed) { m_editAllowed = std::move(allowed); }
  bool EditAllowed() const { return !m_editAllowed || m_editAllowed(); }

  // The context menu's command.
  QAction& DeleteFilterAction() { return *m_deleteAction; }
  // The point inside the graph where a node is drawn: its icon's centre.
  QPoint NodeCentre(const ChainNode& node) const;

 signals:
  // A node was double-clicked.
  void nodeActivated(ChainNode* node);
  // Nodes were added, moved or deleted.
  void chainEdited();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void DeleteSelected();

  FilterChain& m_chain;
  std::function<bool()> m_editAllowed;
  QAction* m_deleteAction;
  // A node pressed with the left button: dragged once the mouse has moved far enough.
  ChainNode* m_pressed = nullptr;
  QPoint m_pressPoint;
  QPoint m_dragPoint;
  bool m_dragging = false;
};

}  // namespace ztlive
