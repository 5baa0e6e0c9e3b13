// Names for temporary wave files and numbered variants of a file name.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/prompts.h"

namespace ztlive {

// The first of "<folder>/zttmp1.wav" ... "zttmp999.wav" that does not exist; empty, after the
// message "Cannot generate a new temporary filename.", when all do.
std::string MakeTempFileName(const std::string& folder, Prompts& prompts);

// "<folder>/<name><number><extension>" for the first number from startNumber (or from the
// digits that end the name, when larger) whose name is not taken, up to 999; empty when every
// one is. The name part is cut to 249 characters first. isTaken says what counts as taken;
// without it, anything at that name (a dangling link too, which a new file would follow).
std::string MakeNumberedName(const std::string& path, int startNumber,
                             const std::function<bool(const std::string&)>& isTaken = {});

// True for the bare names MakeTempFileName gives: "zttmp1.wav" ... "zttmp999.wav".
bool IsTempFileName(const std::string& name);

// The temporary wave files in folder, sorted by number: regular files (never links) with the
// names MakeTempFileName gives. Called while no other instance holds the folder, they are
// what an ended session left behind.
std::vector<std::string> FindTempFiles(const std::string& folder);

// Deletes what a run into a temporary wave file leaves when it is killed: its unfinished copy
// ".zttmpN.wav.ztpart" and its lock file "zttmpN.wav.lock" (regular files only; links are
// left alone). Called while no other instance holds the folder: no run can still own them.
void RemoveUnfinishedRunFiles(const std::string& folder);

// Deletes a temporary wave file and its peak file (the peak file first, so a name freed for
// reuse never finds an old peak file beside it).
void DeleteTempFile(const std::string& path);

}  // namespace ztlive
