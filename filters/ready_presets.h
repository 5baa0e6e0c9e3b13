// The presets the program ships with its filters ("50 Hz Hum", ...): written into the preset
// file on the program's first start, beside the user's own, so that every preset list shows
// them. A user's preset of the same name is never overwritten, and a ready preset the user
// deleted stays deleted: each filter's section remembers, in a hidden key, that its ready
// presets were written.
#pragma once

#include "platform/profile_file.h"

namespace ztlive {

// 0 (also when there was nothing to write) or the file's errno value.
int WriteReadyPresets(ProfileFile& presets);

}  // namespace ztlive
