// Where the program keeps its files: the configuration folder (settings and presets) and the
// default folder for temporary wave files.
//
// Configuration folder: $ZTLIVE_HOME when set, else $XDG_CONFIG_HOME/ZT-Live, else
// ~/.config/ZT-Live. Default temporary folder: $ZTLIVE_HOME/tmp when ZTLIVE_HOME is set (so a
// test or a portable set-up keeps everything in one place), else $XDG_CACHE_HOME/ZT-Live/tmp,
// else ~/.cache/ZT-Live/tmp.
#pragma once

#include <string>

namespace ztlive {

std::string HomeFolder();
std::string ConfigFolder();
std::string SettingsFilePath();  // <configuration folder>/settings.ini
std::string PresetFilePath();    // <configuration folder>/ZTLiveDemoPresets.ini
// The default temporary folder, created on first use (a failure to create it is reported
// later, where a temporary file is needed).
std::string DefaultTempFolder();

// Creates a folder and its missing parents; 0 or errno.
int EnsureFolder(const std::string& path);
bool FolderExists(const std::string& path);
// The folder part of a path: "." for a bare name, "/" for a name in the root.
std::string ParentFolder(const std::string& path);
// path and name joined with exactly one '/'.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace ztlive
