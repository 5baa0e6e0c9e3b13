// The marker commands of a wave pane, without windows: adding markers (at an offset, the play
// position, the selection start, or dropped a reaction time before the play position),
// removing them (all, or those drawn under the cursor), going from marker to marker,
// quantising them to CD sectors, finding silence to mark, and chopping the file at them.
// Positions are data byte offsets; markers live in the pane's peak file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/peak_file.h"
#include "document/document_view_state.h"
#include "document/edit_settings.h"
#include "document/filter_run.h"
#include "document/wave_pane.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace ztlive {

// Adding markers. Each offset is rounded down to a whole frame and held inside the data; false
// when the pane has no file or already holds 100 markers. AddMarkerAt serves the cursor's
// offset, a clicked offset and the play position alike.
bool AddMarkerAt(WavePane& pane, uint64_t offset);
bool AddMarkerAtSelectionStart(WavePane& pane);
// "Drop a Marker": where the listener heard the moment, reactionMs ("ReactionTime") before
// the play position, and not before the start.
bool DropMarker(WavePane& pane, uint64_t playPosition, int reactionMs);

// Removes every marker. False when the change could not be saved (reported).
bool RemoveAllMarkers(WavePane& pane);
// Removes every marker inside the visible range drawn less than 5 pixels from the cursor
// (none without a cursor). Returns how many went.
int RemoveMarkersAtCursor(WavePane& pane, const PaneRect& rect);

// "Goto Next Marker" / "Goto Previous Marker": from the cursor (or, without one, the selection
// start) to the first marker after it / the last before it. The cursor moves there and the
// marker becomes the selected one; when it lies outside the visible range, the view keeps its
// width and centres on it. The selection is left as it is. False when there is no such marker.
bool GotoNextMarker(WavePane& pane);
bool GotoPreviousMarker(WavePane& pane);

// Moves every marker down to a multiple of blockSize bytes (a CD sector, "CDBlockSize"); a
// block size below 1 counts as 2352. False when the change could not be saved.
bool QuantizeMarkers(PeakFile& markers, int32_t blockSize);
// The same with the block size from the settings.
bool QuantizeMarkersForCd(PeakFile& markers, const SettingsStore& settings);

// Chopping a file at its markers. The pieces are the stretches between neighbouring markers,
// from the start to the first and from the last to the end (empty ones skipped); each gets
// the next free numbered name beside the file ("take.wav" -> "take1.wav", "take2.wav", ...),
// numbered in the order of the audio, and appears whole or not at all.
struct ChopResult {
  bool done = false;                 // every piece was made (and, without keeping the original, cut off)
  std::vector<std::string> created;  // the pieces made, in the order of the audio
  std::string renamedOriginal;       // without keeping the original: the first piece, its new name
};
// keepOriginal: every piece is copied and the file stays as it is. Otherwise the pieces are
// copied from the last backwards and each is cut off the file only once it is complete on
// disk; the file, left holding the first piece, is renamed with its peak file (which keeps the
// markers inside the piece). Every failure is reported and stops the chop where it stands.
ChopResult ChopFileAtMarkers(const std::string& path, const std::vector<uint32_t>& markers, bool keepOriginal,
                             Prompts& prompts);

struct ChopOutcome {
  ChopResult result;
  bool askedToKeep = false;  // the file had markers and the question was asked
  bool makePlaylist = false;  // the user wants a playlist of the pieces
};
// "Chop at markers": the message when there are no markers, the question whether to keep the
// original, the chop, the list of the files made (also after a halt, when some were), and the
// question whether to make a playlist of them.
ChopOutcome ChopAtMarkers(const std::string& path, const PeakFile& markers, Prompts& prompts);

// "Find and Mark silence". The starting values come from the settings, held in the dialog's
// ranges; after each run the values used are stored back.

struct MarkSilenceOutcome {
  int runResult = 0;  // the run's result: 1 done, else 0 or a failure code (reported)
  int found = 0;      // silent passages found
  int added = 0;      // markers added (none beyond 100)
};
// Runs the silence finder with the values (its settings window or what stands in for it
// receives the result) and returns the run's result.
using SilenceRun = std::function<int(const PresetValues& values, RunDialog& dialog)>;
// Asks first whether to remove the markers the file already has, runs the finder over the
// source and adds a marker for every passage found.
MarkSilenceOutcome FindAndMarkSilence(PeakFile& sourceMarkers, const MarkSilenceSettings& values,
                                      const SilenceRun& run, SettingsStore& settings, Prompts& prompts);
// The same through a document's filter run, over the view's selection; the view is redrawn.
// While a run or playback goes on (run), the command only asks it to stop: no question, no
// markers.
MarkSilenceOutcome FindAndMarkSilence(FilterRun& runner, const RunState& run, RunView& view, PeakFile& sourceMarkers,
                                      const MarkSilenceSettings& values, SettingsStore& settings, Prompts& prompts);

}  // namespace ztlive
