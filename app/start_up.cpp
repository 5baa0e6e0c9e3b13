#include "app/start_up.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <cstdio>

#include "app/app_core.h"
#include "app/main_frame.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive {

std::optional<StartOptions> ParseStartOptions(const QStringList& arguments) {
  StartOptions options;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QStringLiteral("--screenshot")) {
      if (i + 1 >= arguments.size()) {
        std::fprintf(stderr, "usage: ztlive [--screenshot OUT.png] [FILE.wav ...]\n");
        return std::nullopt;
      }
      options.screenshot = arguments[++i];
    } else if (argument.startsWith(QStringLiteral("--"))) {
      std::fprintf(stderr, "ztlive: unknown option %s\n", qPrintable(argument));
      return std::nullopt;
    } else {
      options.files.push_back(argument);
    }
  }
  return options;
}

bool CheckTempFolder(AppCore& core) {
  const std::string folder = core.Settings().Read(setting::kTempPath);
  if (folder == DefaultTempFolder()) EnsureFolder(folder);
  if (FolderExists(folder)) return true;
  core.GetPrompts().Show(std::string(StringText(StringId::kTempFolderMissing)), "", PromptIcon::Warning);
  return false;
}

std::optional<int> StartUp(CMainFrame& frame, AppCore& core, const StartOptions& options) {
  frame.RestorePlacement();
  frame.show();
  for (const QString& file : options.files) frame.OpenDocument(file);
  CheckTempFolder(core);
  if (!options.screenshot.has_value()) return std::nullopt;
  // Let the window lay itself out and paint before the picture is taken.
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
  const bool saved = frame.grab().save(*options.screenshot);
  if (!saved) std::fprintf(stderr, "ztlive: could not save %s\n", qPrintable(*options.screenshot));
  return saved ? 0 : 1;
}

}  // namespace ztlive
