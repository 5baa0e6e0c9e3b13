#include "document/edit_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/full_scale.h"
#include "core/peak_file.h"
#include "core/run_state.h"
#include "core/temp_files.h"
#include "core/wave_ranges.h"
#include "core/wave_stream.h"
#include "platform/file_ops.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

uint32_t Offset32(uint64_t offset) { return static_cast<uint32_t>(std::min<uint64_t>(offset, UINT32_MAX)); }

Prompts& PromptsOf(const EditTarget& target) { return target.document.GetPrompts(); }

// True when [start, end) lies inside the file's data; otherwise a failure, after the message.
bool InsideData(const EditTarget& target, uint64_t start, uint64_t end, EditOutcome& outcome) {
  WaveInfo info;
  if (ReadWaveInfo(target.file, info, PromptsOf(target)) != kStreamOk) {
    outcome.failed = true;
    return false;
  }
  if (end > info.dataBytes || start > end) {
    PromptsOf(target).Show(StringText(StringId::kArraySizeMismatch), "", PromptIcon::Warning);
    outcome.failed = true;
    return false;
  }
  return true;
}

// Step 2 of every edit: records undo for [start, end). False when that failed and the user
// chose not to go on without it, or (a failure) when the range to save lies beyond the data.
bool RecordUndoOrAsk(const EditTarget& target, UndoAction action, uint64_t start, uint64_t end, EditOutcome& outcome) {
  if (action != kUndoPasteInsert && !InsideData(target, start, end, outcome)) return false;
  if (target.document.Undo().RecordUndo(action, target.pane, target.file, Offset32(start), Offset32(end)) == 1) {
    outcome.undoRecorded = true;
    return true;
  }
  return PromptsOf(target).Ask(StringText(StringId::kUndoSaveFailed), "", PromptButtons::YesNo,
                               PromptIcon::Question) == PromptAnswer::Yes;
}

// Takes back the undo entry an edit recorded when the edit changed nothing after all.
void DropRecordedUndo(const EditTarget& target, EditOutcome& outcome) {
  if (!outcome.undoRecorded) return;
  target.document.Undo().RemoveUndoEntry(0);
  outcome.undoRecorded = false;
}

// The outcome of step 3 over [from, to): the file changed (as far as the primitive got).
void Changed(EditOutcome& outcome, int result, uint64_t from, uint64_t to, bool lengthChanged) {
  outcome.changed = true;
  outcome.failed = result != 1;
  outcome.lengthChanged = lengthChanged;
  outcome.rebuildFrom = from;
  outcome.rebuildTo = lengthChanged ? 0 : to;
}

EditOutcome Failed() {
  EditOutcome outcome;
  outcome.failed = true;
  return outcome;
}

// Reads both files' formats; a clip of other channels or rate than the file (or, where bytes
// are copied as they are, of another sample width) is refused with the message.
bool ReadMatchingInfo(const EditTarget& target, const std::string& clipboardFile, WaveInfo& file, WaveInfo& clip,
                      bool sameWidth) {
  Prompts& prompts = PromptsOf(target);
  if (ReadWaveInfo(target.file, file, prompts) != kStreamOk || ReadWaveInfo(clipboardFile, clip, prompts) != kStreamOk)
    return false;
  if (file.channels != clip.channels || file.sampleRate != clip.sampleRate ||
      (sameWidth && file.blockAlign != clip.blockAlign)) {
    prompts.Show(StringText(StringId::kFormatsDiffer), "", PromptIcon::Warning);
    return false;
  }
  return true;
}

// Applies a gain curve over the selection with undo as action.
EditOutcome GainEdit(const EditTarget& target, UndoAction action, const GainCurve& curve, bool recordUndo = true) {
  EditOutcome outcome;
  if (recordUndo && !RecordUndoOrAsk(target, action, target.start, target.end, outcome)) return outcome;
  const int result = ApplyGainCurve(target.file, target.start, target.end, curve.g1, curve.g2, curve.mode, curve.p1,
                                    curve.p2, PromptsOf(target));
  Changed(outcome, result, target.start, target.end, false);
  return outcome;
}

}  // namespace

EditOutcome CutSelection(const EditTarget& target) {
  EditOutcome outcome;
  if (target.end <= target.start) return outcome;
  if (!RecordUndoOrAsk(target, kUndoCut, target.start, target.end, outcome)) return outcome;
  Changed(outcome, CutRange(target.file, target.start, target.end, PromptsOf(target)), target.start, 0, true);
  return outcome;
}

EditOutcome PasteOver(const EditTarget& target, const std::string& clipboardFile) {
  EditOutcome outcome;
  WaveInfo file;
  WaveInfo clip;
  if (target.end <= target.start) return outcome;
  if (!ReadMatchingInfo(target, clipboardFile, file, clip, true)) return Failed();
  if (!RecordUndoOrAsk(target, kUndoPasteOver, target.start, target.end, outcome)) return outcome;
  const int result = CopyRange(clipboardFile, target.file, 0, 0, target.start, target.end, PromptsOf(target));
  Changed(outcome, result, target.start, target.end, false);
  return outcome;
}

EditOutcome PasteInsert(const EditTarget& target, const std::string& clipboardFile) {
  EditOutcome outcome;
  WaveInfo file;
  WaveInfo clip;
  if (!ReadMatchingInfo(target, clipboardFile, file, clip, true)) return Failed();
  if (clip.dataBytes == 0) return outcome;
  if (!RecordUndoOrAsk(target, kUndoPasteInsert, target.start, target.start + clip.dataBytes, outcome)) return outcome;
  const int result =
      InsertFile(target.file, target.start, clipboardFile, target.document.TempFolder(), PromptsOf(target));
  // A failed insert puts the file back as it was: its undo entry would cut good audio.
  if (result != 1) DropRecordedUndo(target, outcome);
  Changed(outcome, result, target.start, 0, true);
  return outcome;
}

EditOutcome PasteMix(const EditTarget& target, const std::string& clipboardFile, const MixSettings& mix) {
  EditOutcome outcome;
  WaveInfo file;
  WaveInfo clip;
  if (target.end <= target.start) return outcome;
  if (!ReadMatchingInfo(target, clipboardFile, file, clip, false)) return Failed();
  if (!RecordUndoOrAsk(target, kUndoMix, target.start, target.end, outcome)) return outcome;
  const int result = MixIntoFile(clipboardFile, target.file, 0, 0, target.start, target.end, mix.clipPercent,
                                 mix.filePercent, PromptsOf(target));
  Changed(outcome, result, target.start, target.end, false);
  return outcome;
}

CrossfadeLevels CrossfadePercentages(const CrossfadeSettings& settings) {
  auto percent = [](int tenthsDb) { return 100.0 * std::pow(10.0, tenthsDb / 200.0); };
  return {percent(settings.fadeInStart), percent(settings.fadeInEnd), percent(settings.fadeOutStart),
          percent(settings.fadeOutEnd)};
}

int CrossfadeCurveOf(int slope) {
  if (slope == 1) return kCrossfadeLogOut;
  if (slope == 2) return kCrossfadeLogIn;
  return kCrossfadeLinear;
}

EditOutcome CrossfadeClipboard(const EditTarget& target, const std::string& clipboardFile,
                               const CrossfadeSettings& settings, const CrossfadeControl& control) {
  EditOutcome outcome;
  WaveInfo file;
  WaveInfo clip;
  if (!ReadMatchingInfo(target, clipboardFile, file, clip, false)) return Failed();
  // The clip's frames from the selection start, up to the end of the file: the file keeps its
  // length, so that undo puts back exactly what the crossfade changed.
  const uint64_t clipFrames = clip.dataBytes / static_cast<uint64_t>(std::max(clip.blockAlign, 1));
  const uint64_t end = std::min(target.start + clipFrames * static_cast<uint64_t>(file.blockAlign), file.dataBytes);
  if (end <= target.start) return outcome;
  if (!RecordUndoOrAsk(target, kUndoCrossFade, target.start, end, outcome)) return outcome;
  CrossfadeControl writing = control;
  writing.devices = nullptr;
  writing.playStream = nullptr;
  const int result = CrossfadeFiles(clipboardFile, target.file, 0, clip.dataBytes, target.start, end,
                                    CrossfadePercentages(settings), CrossfadeCurveOf(settings.slope), writing,
                                    PromptsOf(target));
  Changed(outcome, result, target.start, end, false);
  return outcome;
}

EditOutcome CrossfadeSourceIntoDestination(const EditTarget& source, const EditTarget& destination,
                                           const CrossfadeSettings& settings, const CrossfadeControl& control) {
  EditOutcome outcome;
  if (destination.end <= destination.start) return outcome;
  CrossfadeControl used = control;
  if (!settings.preview) {
    used.devices = nullptr;
    used.playStream = nullptr;
  } else if (!control.Preview()) {
    return Failed();  // nothing to play on: nothing is written either
  }
  const int result = CrossfadeFiles(source.file, destination.file, source.start, source.end, destination.start,
                                    destination.end, CrossfadePercentages(settings), CrossfadeCurveOf(settings.slope),
                                    used, PromptsOf(destination));
  if (settings.preview) {
    outcome.failed = result != 1;
    return outcome;
  }
  Changed(outcome, result, destination.start, destination.end, false);
  return outcome;
}

EditOutcome MuteSelection(const EditTarget& target) {
  if (target.end <= target.start) return {};
  if (PromptsOf(target).Ask(StringText(StringId::kMuteQuestion), "", PromptButtons::YesNo, PromptIcon::Question) !=
      PromptAnswer::Yes)
    return {};
  return GainEdit(target, kUndoMute, GainCurve{0, 0, kGainMute, 0, 0});
}

GainCurve GainCurveOf(const FadeSettings& settings) {
  GainCurve curve;
  if (settings.curve == FadeCurve::Adjustable) {
    curve.mode = kGainAdjustable;
    curve.g1 = settings.startLevel / 100.0;
    curve.g2 = settings.endLevel / 100.0;
    curve.p1 = settings.firstControlLevel / 100.0;
    curve.p2 = settings.secondControlLevel / 100.0;
    return curve;
  }
  curve.g1 = std::pow(10.0, settings.startLevel * 0.0005);
  curve.g2 = std::pow(10.0, settings.endLevel * 0.0005);
  if (settings.curve == FadeCurve::Linear)
    curve.mode = kGainLinear;
  else
    curve.mode = curve.g1 > curve.g2 ? kGainLogFadeOut : kGainLogFadeIn;
  return curve;
}

EditOutcome FadeSelection(const EditTarget& target, const FadeSettings& settings) {
  if (target.end <= target.start) return {};
  return GainEdit(target, kUndoGainChange, GainCurveOf(settings));
}

EditOutcome NormalizeSelection(const EditTarget& target, const NormalizeSettings& settings) {
  Prompts& prompts = PromptsOf(target);
  if (target.end <= target.start) return {};
  if (!settings.scalingDialog) {
    const StringId question =
        target.pane == kPaneDestination ? StringId::kNormalizeDestinationQuestion : StringId::kNormalizeSourceQuestion;
    if (prompts.Ask(StringText(question), "", PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes)
      return {};
  }
  bool recordUndo = true;
  if (target.end - target.start > kNormalizeUndoQuestionBytes) {
    const PromptAnswer answer =
        prompts.Ask(StringText(StringId::kSaveUndoQuestion), "", PromptButtons::YesNoCancel, PromptIcon::Question);
    if (answer == PromptAnswer::Cancel) return {};
    recordUndo = answer == PromptAnswer::Yes;
  }
  // The whole file's largest peak, from its peak file (16-bit scale) in the samples' scale.
  RunState run;
  PeakFile peaks(target.file, run, prompts);
  if (peaks.Build(0, 0) != 0) return Failed();
  const double peak = peaks.LargestPeak() * 256.0;
  if (peaks.LargestPeak() < 1) return {};
  const double targetDb = settings.scalingDialog ? settings.targetDb : 0.0;
  const double gain = FullScaleHigh() / peak * std::pow(10.0, targetDb * 0.05);
  if (gain > 0.98 && gain < 1.02 &&
      prompts.Ask(StringText(StringId::kNormalizeSmallGain), "", PromptButtons::YesNo, PromptIcon::Question) !=
          PromptAnswer::Yes)
    return {};
  return GainEdit(target, kUndoGainChange, GainCurve{gain, gain, kGainLinear, 0, 0}, recordUndo);
}

EditOutcome InterpolateSelection(const EditTarget& target, InterpolateChannels channels) {
  EditOutcome outcome;
  if (target.end <= target.start) return outcome;
  if (target.end - target.start >= kInterpolateLimitBytes) {
    PromptsOf(target).Show(StringText(StringId::kInterpolateTooLarge), "", PromptIcon::Warning);
    return Failed();
  }
  if (!RecordUndoOrAsk(target, kUndoPasteOver, target.start, target.end, outcome)) return outcome;
  const int result = InterpolateRange(target.file, target.start, target.end, channels, PromptsOf(target));
  Changed(outcome, result, target.start, target.end, false);
  return outcome;
}

EditOutcome InsertSilence(const EditTarget& target, const SilenceSettings& settings) {
  Prompts& prompts = PromptsOf(target);
  WriteSilenceSettings(target.document.Settings(), settings);

  WaveInfo file;
  if (ReadWaveInfo(target.file, file, prompts) != kStreamOk) return Failed();
  const std::string silence = MakeTempFileName(target.document.TempFolder(), prompts);
  if (silence.empty()) return Failed();
  WaveInfo made;
  if (WriteSilenceFile(silence,
                       MakePcmFormat(static_cast<uint16_t>(file.channels), file.sampleRate,
                                     static_cast<uint16_t>(file.bitsPerSample)),
                       settings.seconds, prompts) != 1 ||
      ReadWaveInfo(silence, made, prompts) != kStreamOk) {
    DeleteTempFile(silence);
    return Failed();
  }
  EditOutcome outcome;
  if (made.dataBytes == 0) {
    DeleteTempFile(silence);
    return outcome;
  }
  uint64_t position = 0;
  if (settings.place == SilencePlace::FileEnd) position = file.dataBytes;
  if (settings.place == SilencePlace::SelectionStart) position = std::min(target.start, file.dataBytes);
  if (RecordUndoOrAsk(target, kUndoPasteInsert, position, position + made.dataBytes, outcome)) {
    const int result = InsertFile(target.file, position, silence, target.document.TempFolder(), prompts);
    if (result != 1) DropRecordedUndo(target, outcome);
    Changed(outcome, result, position, 0, true);
  }
  DeleteTempFile(silence);
  return outcome;
}

EditOutcome ReverseSelection(const EditTarget& target) {
  Prompts& prompts = PromptsOf(target);
  EditOutcome outcome;
  if (target.end <= target.start || !InsideData(target, target.start, target.end, outcome)) return outcome;
  const std::string reversed = MakeTempFileName(target.document.TempFolder(), prompts);
  if (reversed.empty()) return Failed();
  if (ReverseRange(target.file, reversed, target.start, target.end, 0, prompts) != 1) {
    DeleteTempFile(reversed);
    return Failed();
  }
  if (RecordUndoOrAsk(target, kUndoPasteOver, target.start, target.end, outcome)) {
    const int result = CopyRange(reversed, target.file, 0, 0, target.start, target.end, prompts);
    Changed(outcome, result, target.start, target.end, false);
  }
  DeleteTempFile(reversed);
  return outcome;
}

}  // namespace ztlive
