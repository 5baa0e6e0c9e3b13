// ztlive-cli analyze [--hum] FILE [--from S --to S] [--json]: what a stretch of a wave file
// holds: per channel peak and RMS level, DC offset and clipped samples, the strongest spectral
// lines, the distortion of the strongest tone and the mains fundamental; --hum reports only the
// mains fundamental of its hum or buzz.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kAnalyzeCommand;

}  // namespace ztlive::cli
