// Names for temporary wave files and numbered variants of a file name.
#pragma once

#include <string>

#include "platform/prompts.h"

namespace ztlive {

// The first of "<folder>/zttmp1.wav" ... "zttmp999.wav" that does not exist; empty, after the
// message "Cannot generate a new temporary filename.", when all do.
std::string MakeTempFileName(const std::string& folder, Prompts& prompts);

// "<folder>/<name><number><extension>" for the first number from startNumber (or from the
// digits that end the name, when larger) whose file does not exist; the number stops at 999.
// The name part is cut to 249 characters first.
std::string MakeNumberedName(const std::string& path, int startNumber);

}  // namespace ztlive
