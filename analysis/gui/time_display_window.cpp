#include "analysis/gui/time_display_window.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "platform/string_table.h"

namespace ztlive {

namespace {

QString Qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TimeDisplayWindow::TimeDisplayWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setWindowTitle(QStringLiteral("Cursor position"));
  setObjectName(QStringLiteral("timeDisplay"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("timeField"));
  m_edit->hide();
  connect(m_edit, &QLineEdit::returnPressed, this, [this] { ApplyTyped(m_editing, m_edit->text()); });
  // Leaving the field drops what was typed, unless it was refused and is shown as such.
  connect(m_edit, &QLineEdit::editingFinished, this, [this] {
    if (!m_edit->hasFocus() && !m_refused) m_edit->hide();
  });
  m_modeMenu = new QMenu(this);
  auto* modes = new QActionGroup(m_modeMenu);
  int mode = 0;
  for (const char* caption : {"&Frames", "&Hours:Minutes:Seconds", "&Seconds"}) {
    QAction* action = m_modeMenu->addAction(QString::fromUtf8(caption));
    action->setCheckable(true);
    modes->addAction(action);
    connect(action, &QAction::triggered, this, [this, mode] { emit timeModeChosen(mode); });
    ++mode;
  }
  Clear();
  resize(480, 150);  // room for hh:mm:ss.ffff in the large digits
}

QMenu& TimeDisplayWindow::TimeModeMenu() {
  const auto shown = static_cast<qsizetype>(m_mode);
  for (qsizetype i = 0; i < m_modeMenu->actions().size(); ++i) m_modeMenu->actions()[i]->setChecked(i == shown);
  return *m_modeMenu;
}

void TimeDisplayWindow::contextMenuEvent(QContextMenuEvent* event) { TimeModeMenu().popup(event->globalPos()); }

void TimeDisplayWindow::Clear() {
  m_base = TimeBase{0, 0, 0};
  m_cursor = m_start = m_stop = m_span = Qs(std::string(kNoTime));
  update();
}

void TimeDisplayWindow::SetTimeBase(const TimeBase& base, TimeMode mode) {
  m_base = base;
  m_mode = mode;
  SetCursor(m_cursorOffset);
  SetSelection(m_startOffset, m_endOffset);
}

void TimeDisplayWindow::SetCursor(int64_t offset) {
  m_cursorOffset = offset;
  m_cursor = Qs(FormatOffset(offset, m_base, m_mode));
  update();
}

void TimeDisplayWindow::SetSelection(int64_t start, int64_t end) {
  m_startOffset = start;
  m_endOffset = end;
  const bool shown = m_base.sampleRate > 0;
  m_start = Qs(FormatOffset(shown ? start : -1, m_base, m_mode));
  m_stop = Qs(FormatOffset(shown ? end : -1, m_base, m_mode));
  m_span = Qs(FormatOffset(shown ? std::max<int64_t>(0, end - start) : -1, m_base, m_mode));
  update();
}

void TimeDisplayWindow::resizeEvent(QResizeEvent*) {
  const int h = std::max(1, height());
  m_large = QFont(QStringLiteral("Arial"));
  m_large.setPixelSize(std::max(1, h * 4 / 10));
  m_large.setWeight(QFont::Medium);
  m_small = QFont(QStringLiteral("Arial"));
  m_small.setPixelSize(std::max(1, h / 6));
  m_small.setWeight(QFont::Normal);
}

QRect TimeDisplayWindow::LineRect(int which) const {
  const int line = QFontMetrics(m_small).height();
  if (which == 0) return {0, 0, width(), QFontMetrics(m_large).height()};
  return {0, height() - (4 - which) * line, width(), line};
}

void TimeDisplayWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (m_base.sampleRate <= 0) return;  // no document: black
  painter.setPen(QColor(0, 255, 0));
  painter.setFont(m_large);
  painter.drawText(LineRect(0), Qt::AlignHCenter | Qt::AlignTop, m_cursor);
  painter.setFont(m_small);
  painter.drawText(LineRect(1), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Start = ") + m_start);
  painter.drawText(LineRect(2), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Stop = ") + m_stop);
  painter.drawText(LineRect(3), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Span = ") + m_span);
}

QLineEdit& TimeDisplayWindow::Edit(int which) {
  m_editing = std::clamp(which, 0, 2);
  const QString* texts[] = {&m_cursor, &m_start, &m_stop};
  m_edit->setText(*texts[m_editing] == Qs(std::string(kNoTime)) ? QString() : *texts[m_editing]);
  m_edit->setToolTip(QString());
  m_edit->setStyleSheet(QString());
  m_refused = false;
  const QRect line = LineRect(m_editing);
  m_edit->setGeometry(line.left() + width() / 4, line.top(), width() / 2, std::max(line.height(), 20));
  m_edit->show();
  m_edit->setFocus();
  m_edit->selectAll();
  return *m_edit;
}

bool TimeDisplayWindow::ApplyTyped(int which, const QString& text) {
  const auto offset = ParseTime(text.toStdString(), m_base, m_mode);
  m_refused = !offset.has_value();
  if (!offset) {
    m_edit->setStyleSheet(QStringLiteral("color: red"));
    m_edit->setToolTip(Qs(FormatText(StringId::kTimeDisplayNotATime, {text.toStdString()})));
    return false;
  }
  m_edit->hide();
  if (which == 0) {
    emit caretTyped(*offset);
  } else if (which == 1) {
    emit selectionTyped(*offset, std::max<int64_t>(*offset, m_endOffset));
  } else {
    emit selectionTyped(std::min<int64_t>(m_startOffset, *offset), *offset);
  }
  return true;
}

void TimeDisplayWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (m_base.sampleRate <= 0) return;
  for (int which = 0; which < 3; ++which)
    if (LineRect(which).contains(event->position().toPoint())) {
      Edit(which);
      return;
    }
}

void TimeDisplayWindow::closeEvent(QCloseEvent* event) {
  emit closed();
  QWidget::closeEvent(event);
}

}  // namespace ztlive
