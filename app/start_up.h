// The application's start-up after the main window exists: the command line's file, the
// temporary-folder check and hold, the offer of an ended session's temporary files, and
// `--screenshot OUT.png [FILE]`, which opens the window (on the file, if given), lets it
// paint, saves a picture of it and ends.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace ztlive {

class CMainFrame;
class AppCore;

struct StartOptions {
  QStringList files;            // opened as documents
  std::optional<QString> screenshot;  // the picture to save, then quit
};

// Reads the arguments after the program name; nothing on bad usage (the text goes to stderr).
std::optional<StartOptions> ParseStartOptions(const QStringList& arguments);

// Creates the default temporary folder when it is the one in use and missing, then reports a
// temporary folder that does not exist with the set-up message. Returns whether it exists.
bool CheckTempFolder(AppCore& core);

// Takes this instance's hold on the temporary folder. When no other instance holds it, the
// temporary files there were left by an ended session: they are returned (listed while no
// other instance can start making files), else nothing is.
std::vector<std::string> HoldTempFolder(AppCore& core);

// One question for the leftovers: Yes opens each as a document (to be saved), No deletes
// them with their peak files.
void OfferLeftovers(CMainFrame& frame, AppCore& core, const std::vector<std::string>& leftovers);

// Shows the window, checks and holds the temporary folder, offers what an ended session
// left there (not for a screenshot), opens the files; with a screenshot asked
// for, paints, saves it and returns the exit code (0 saved, 1 not), else returns nothing.
std::optional<int> StartUp(CMainFrame& frame, AppCore& core, const StartOptions& options);

}  // namespace ztlive
