// The "Overload" lamp of the equalizer windows: a small rectangle, grey normally, red while
// lit. The window looks at the run's clip indicator every 100 ms; when a run has clipped, the
// lamp lights for a given time, then the indicator is cleared and the lamp turns grey again.
#pragma once

#include <QTimer>
#include <QWidget>

#include "core/run_state.h"

namespace ztlive {

class OverloadLamp : public QWidget {
  Q_OBJECT

 public:
  OverloadLamp(RunState& run, int litMs, QWidget* parent = nullptr);

  bool Lit() const { return m_lit; }
  // Grey again, the indicator cleared (a new run starts).
  void Clear();
  // Looks at the indicator once (the poll timer calls it).
  void Check();

  static constexpr int kPollMs = 100;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  RunState& m_run;
  bool m_lit = false;
  QTimer m_poll;
  QTimer m_litTimer;
};

}  // namespace ztlive
