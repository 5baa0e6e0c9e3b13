// The "Cursor position" window: the active pane's cursor in large green digits and the
// selection's start, stop and span below it. A double click on a line opens a field to type a
// time into: the cursor line moves the caret, the start and stop lines set the selection.
// Its context menu chooses how the shown pane's times read: frames, h:m:s or seconds.
#pragma once

#include <QWidget>
#include <cstdint>

#include "analysis/time_format.h"

class QLineEdit;
class QMenu;

namespace ztlive {

class TimeDisplayWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TimeDisplayWindow(QWidget* parent = nullptr);

  // The shown pane's format and time mode; no file: an empty base (sampleRate 0).
  void SetTimeBase(const TimeBase& base, TimeMode mode = TimeMode::kClock);
  void SetCursor(int64_t offset);
  void SetSelection(int64_t start, int64_t end);
  void Clear();

  const QString& CursorText() const { return m_cursor; }
  const QString& StartText() const { return m_start; }
  const QString& StopText() const { return m_stop; }
  const QString& SpanText() const { return m_span; }

  // Typing: which = 0 cursor, 1 start, 2 stop. Opens the field with the current text.
  QLineEdit& Edit(int which);
  // Applies a typed text; false (and the field stays open, marked) when it is not a time.
  bool ApplyTyped(int which, const QString& text);
  // The context menu's choices, in mode order, checked at the shown mode.
  QMenu& TimeModeMenu();

 signals:
  void caretTyped(qint64 offset);
  void timeModeChosen(int mode);
  void selectionTyped(qint64 start, qint64 end);
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QRect LineRect(int which) const;

  TimeBase m_base{0, 0, 0};
  TimeMode m_mode = TimeMode::kClock;
  int64_t m_cursorOffset = -1;
  int64_t m_startOffset = 0;
  int64_t m_endOffset = 0;
  QString m_cursor;
  QString m_start;
  QString m_stop;
  QString m_span;
  QFont m_large;
  QFont m_small;
  QLineEdit* m_edit = nullptr;
  QMenu* m_modeMenu = nullptr;
  int m_editing = -1;
  bool m_refused = false;  // the typed text is not a time
};

}  // namespace ztlive
