// ztlive: the application window.
#include <QApplication>

#include "app/app_core.h"
#include "app/main_frame.h"
#include "app/qt_prompts.h"
#include "app/start_up.h"
#include "platform/portaudio_wave_system.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZT-Live"));
  QApplication::setApplicationDisplayName(QStringLiteral("ZT-Live"));
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  const std::optional<ztlive::StartOptions> options = ztlive::ParseStartOptions(arguments);
  if (!options.has_value()) return 2;

  ztlive::QtPrompts prompts;
  ztlive::AppCore core(std::make_unique<ztlive::PortAudioWaveSystem>(), prompts);
  ztlive::CMainFrame frame(core);
  prompts.SetParent(&frame);
  if (const std::optional<int> code = ztlive::StartUp(frame, core, *options); code.has_value()) return *code;
  return QApplication::exec();
}
