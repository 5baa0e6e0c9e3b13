// Joins the program's message queue and Qt's event loop both ways: while the queue waits or
// dispatches (inside a filter run's block reads, while the device engine waits for a buffer)
// Qt's events are processed, so the windows stay alive; and every post wakes Qt's loop through
// a socket notifier on the queue's wake descriptor, so device messages are handled while Qt
// runs its own loop (a modal dialog included).
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "platform/message_queue.h"

namespace ztlive {

class QtMessagePump : public QObject {
  Q_OBJECT

 public:
  explicit QtMessagePump(MessageQueue& queue, QObject* parent = nullptr);
  ~QtMessagePump() override;

 private:
  void Pump(int maxWaitMs);
  void OnWake();

  MessageQueue& m_queue;
  QSocketNotifier m_notifier;
  bool m_waiting = false;      // the queue itself waits for the wake: it will look
  bool m_dispatching = false;  // the notifier's own dispatch is running
};

}  // namespace ztlive
