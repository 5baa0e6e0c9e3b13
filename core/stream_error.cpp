#include "core/stream_error.h"

#include "platform/string_table.h"

namespace ztlive {

std::string_view StreamErrorText(int code) {
  switch (code) {
    case kStreamInternalError:
      return StringText(StringId::kStreamInternalError);
    case kStreamMemoryError:
      return StringText(StringId::kStreamMemoryError);
    case kStreamCannotOpen:
      return StringText(StringId::kStreamCannotOpen);
    case kStreamBadFormat:
      return StringText(StringId::kStreamBadFormat);
    case kStreamTypeNotSupported:
      return StringText(StringId::kStreamTypeNotSupported);
    case kStreamBadResolution:
      return StringText(StringId::kStreamBadResolution);
    case kStreamCannotWrite:
      return StringText(StringId::kCannotWriteWave);
    default:
      return StringText(StringId::kStreamOtherError);
  }
}

void ReportStreamError(Prompts& prompts, int code) {
  if (code == kStreamOk) return;
  prompts.Show(StreamErrorText(code), StringText(StringId::kCaptionFileError), PromptIcon::Warning);
}

}  // namespace ztlive
