#include "app/start_up.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <cstdio>

#include "app/app_core.h"
#include "app/main_frame.h"
#include "core/temp_files.h"
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

std::vector<std::string> HoldTempFolder(AppCore& core) {
  const std::string folder = core.Settings().Read(setting::kTempPath);
  InstanceLock& lock = core.TempFolderLock();
  std::vector<std::string> leftovers;
  if (lock.Acquire(folder) == InstanceLock::State::kAlone) {
    RemoveUnfinishedRunFiles(folder);  // a killed run's copy is no audio of the user's
    leftovers = FindTempFiles(folder);
  }
  lock.Share();
  return leftovers;
}

void OfferLeftovers(CMainFrame& frame, AppCore& core, const std::vector<std::string>& leftovers) {
  if (leftovers.empty()) return;
  const std::string folder = core.Settings().Read(setting::kTempPath);
  const std::string question = FormatText(StringId::kRecoverTempFiles, {std::to_string(leftovers.size()), folder});
  const PromptAnswer answer = core.GetPrompts().Ask(question, std::string(StringText(StringId::kCaptionRecoverFiles)),
                                                    PromptButtons::YesNo, PromptIcon::Question);
  for (const std::string& path : leftovers) {
    if (answer == PromptAnswer::Yes)
      frame.OpenRecoveredDocument(QString::fromStdString(path));  // one that cannot be read stays for later
    else
      DeleteTempFile(path);
  }
}

std::optional<int> StartUp(CMainFrame& frame, AppCore& core, const StartOptions& options) {
  frame.RestorePlacement();
  frame.show();
  if (CheckTempFolder(core)) {
    const std::vector<std::string> leftovers = HoldTempFolder(core);
    if (!options.screenshot.has_value()) OfferLeftovers(frame, core, leftovers);
  }
  for (const QString& file : options.files) frame.OpenDocument(file);
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
