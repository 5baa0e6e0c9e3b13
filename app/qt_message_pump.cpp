#include "app/qt_message_pump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

namespace ztlive {

QtMessagePump::QtMessagePump(MessageQueue& queue, QObject* parent)
    : QObject(parent), m_queue(queue), m_notifier(queue.WakeDescriptor(), QSocketNotifier::Read) {
  connect(&m_notifier, &QSocketNotifier::activated, this, &QtMessagePump::OnWake);
  m_queue.SetPumpHook([this](int maxWaitMs) { Pump(maxWaitMs); });
}

QtMessagePump::~QtMessagePump() { m_queue.SetPumpHook(nullptr); }

void QtMessagePump::Pump(int maxWaitMs) {
  if (maxWaitMs == 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // One blocking round of Qt's dispatcher: it returns after the wake descriptor, the timer or
  // any window event; the queue then looks again and waits again if nothing came.
  QTimer limit;
  limit.setSingleShot(true);
  if (maxWaitMs > 0) limit.start(maxWaitMs);
  m_waiting = true;
  QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  m_waiting = false;
}

void QtMessagePump::OnWake() {
  if (m_waiting || m_dispatching) return;
  m_dispatching = true;
  m_queue.DispatchPending();
  m_dispatching = false;
}

}  // namespace ztlive
