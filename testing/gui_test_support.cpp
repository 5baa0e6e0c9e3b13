#include "testing/gui_test_support.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <memory>

namespace ztlive::test {

QString SaveScreenshot(QWidget& widget, const QString& name) {
  const char* folder = std::getenv("ZTLIVE_SCREENSHOTS");
  const QString path = QDir(folder != nullptr ? QString::fromLocal8Bit(folder) : QDir::tempPath()).filePath(name + ".png");
  QDir().mkpath(QFileInfo(path).absolutePath());
  return widget.grab().save(path) ? path : QString();
}

void WhenModalOpens(std::function<void(QDialog&)> handle, int timeoutMs) {
  auto* timer = new QTimer(qApp);
  auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, handle, deadline] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()); dialog != nullptr) {
      timer->stop();
      timer->deleteLater();
      handle(*dialog);
    } else if (deadline->hasExpired()) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
}

void ProcessEventsFor(int milliseconds) {
  QDeadlineTimer deadline(milliseconds);
  while (!deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace ztlive::test
