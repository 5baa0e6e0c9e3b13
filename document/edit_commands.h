// The edit commands on the file of a pane: each asks its questions, records undo (asking
// whether to go on without it when that fails), changes the file through the edit primitives,
// and tells the caller what to rebuild. The window, the command line and the tests call these
// same functions; the wait cursor, the peak rebuild and the redraw are the caller's.
#pragma once

#include <cstdint>
#include <string>

#include "core/undo_store.h"
#include "document/edit_settings.h"
#include "document/wave_edits.h"
#include "document/zanto_document.h"

namespace ztlive {

// What an edit works on: the document, which of its panes, that pane's file and the
// selection in it (data byte offsets, start <= end).
struct EditTarget {
  CZantoDoc& document;
  UndoPane pane = kPaneSource;
  std::string file;
  uint64_t start = 0;
  uint64_t end = 0;
};

struct EditOutcome {
  bool changed = false;        // the file was changed, at least in part: rebuild and redraw
  bool failed = false;         // a failure was reported (the file is as far as the edit got)
  bool undoRecorded = false;   // the newest undo entry holds this edit's old bytes
  bool lengthChanged = false;  // rebuild to the end of the file
  uint64_t rebuildFrom = 0;    // the changed range's start
  uint64_t rebuildTo = 0;      // its end; 0 with lengthChanged: to the end of the file
};

// The questions of Gain Normalize and the selection above which undo is optional.
inline constexpr uint64_t kNormalizeUndoQuestionBytes = 5000000;

// Deletes the selection (undo: cut).
EditOutcome CutSelection(const EditTarget& target);
// The clipboard file over the selection, at most the selection's length (undo: paste over).
EditOutcome PasteOver(const EditTarget& target, const std::string& clipboardFile);
// The clipboard file inserted at the selection start (undo: paste insert).
EditOutcome PasteInsert(const EditTarget& target, const std::string& clipboardFile);
// The clipboard file mixed into the selection (undo: mix).
EditOutcome PasteMix(const EditTarget& target, const std::string& clipboardFile, const MixSettings& mix);

// The crossfade dialog's sliders as percentages (a: faded in, b: faded into) and its curve.
CrossfadeLevels CrossfadePercentages(const CrossfadeSettings& settings);
int CrossfadeCurveOf(int slope);
// The clipboard file faded into the pane's file from the selection start, up to the end of the
// file (undo: crossfade).
EditOutcome CrossfadeClipboard(const EditTarget& target, const std::string& clipboardFile,
                               const CrossfadeSettings& settings, const CrossfadeControl& control);
// The source file's selection faded into the destination file's selection, without undo; with
// settings.preview and a control that can play, played instead of written.
EditOutcome CrossfadeSourceIntoDestination(const EditTarget& source, const EditTarget& destination,
                                           const CrossfadeSettings& settings, const CrossfadeControl& control);

// Silences the selection after the question (undo: mute).
EditOutcome MuteSelection(const EditTarget& target);

// The gains and curve mode of the "Fade" dialog's settings.
struct GainCurve {
  double g1 = 1;
  double g2 = 1;
  int mode = kGainLinear;
  double p1 = 0;
  double p2 = 0;
};
GainCurve GainCurveOf(const FadeSettings& settings);
EditOutcome FadeSelection(const EditTarget& target, const FadeSettings& settings);

// Raises (or lowers) the selection so that the whole file's peak reaches the target level.
EditOutcome NormalizeSelection(const EditTarget& target, const NormalizeSettings& settings);

// Rebuilds the selection from its surroundings (undo: paste over).
EditOutcome InterpolateSelection(const EditTarget& target, InterpolateChannels channels);

// Inserts silence at the start, the end or the selection start, and stores the settings
// "SilenceLength" and "SilencePaste" (undo: paste insert).
EditOutcome InsertSilence(const EditTarget& target, const SilenceSettings& settings);

// Reverses the selection, whole frames: the reversed audio is made in a new temporary file and
// then copied over the selection, so the file is only touched once the reversed copy exists
// (undo: paste over).
EditOutcome ReverseSelection(const EditTarget& target);

}  // namespace ztlive
