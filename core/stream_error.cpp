#include "core/stream_error.h"

#include "platform/string_table.h"

namespace ztlive {

namespace {

struct StreamErrorEntry {
  int code;
  StringId text;
};

constexpr StreamErrorEntry kTexts[] = {
    {kStreamInternalError, StringId::kStreamInternalError},
    {kStreamMemoryError, StringId::kStreamMemoryError},
    {kStreamCannotOpen, StringId::kStreamCannotOpen},
    {kStreamBadFormat, StringId::kStreamBadFormat},
    {kStreamTypeNotSupported, StringId::kStreamTypeNotSupported},
    {kStreamBadResolution, StringId::kStreamBadResolution},
    {kStreamCannotWrite, StringId::kCannotWriteWave},
};

}  // namespace

std::string_view StreamErrorText(int code) {
  for (const StreamErrorEntry& entry : kTexts)
    if (entry.code == code) return StringText(entry.text);
  return StringText(StringId::kStreamOtherError);
}

void ReportStreamError(Prompts& prompts, int code) {
  if (code == kStreamOk) return;
  prompts.Show(StreamErrorText(code), StringText(StringId::kCaptionFileError), PromptIcon::Warning);
}

}  // namespace ztlive
