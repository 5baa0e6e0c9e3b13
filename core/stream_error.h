// Results of opening and creating wave streams, and the message box that reports them.
#pragma once

#include <string_view>

#include "platform/prompts.h"

namespace ztlive {

enum StreamError : int {
  kStreamOk = 0,
  kStreamInternalError = 104,
  kStreamMemoryError = 107,
  kStreamCannotOpen = 108,       // the file cannot be opened
  kStreamBadFormat = 110,        // not a PCM RIFF WAVE file of 1 or 2 channels, or another format
  kStreamTypeNotSupported = 112,
  kStreamBadResolution = 113,    // a sample width without a conversion
  kStreamCannotWrite = 115,      // the file cannot be created or written
};

// The text shown for a code; any code without its own text gets the general one.
std::string_view StreamErrorText(int code);
// Shows the code's text in a warning box captioned "File Error"; code 0 shows nothing.
void ReportStreamError(Prompts& prompts, int code);

}  // namespace ztlive
