#include "document/marker_commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/stream_error.h"
#include "core/temp_files.h"
#include "core/wave_ranges.h"
#include "core/wave_stream.h"
#include "document/staged_output.h"
#include "filters/analysis/mark_silence_processor.h"
#include "platform/file_ops.h"
#include "platform/output_lock.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int32_t kCdSectorBytes = 2352;
constexpr FilterTypeId kMarkSilenceType = 27;

uint64_t FloorToFrame(const WavePane& pane, uint64_t offset) {
  const auto frame = static_cast<uint64_t>(std::max(pane.BlockAlign(), 1));
  return std::min(offset, pane.DataLength()) / frame * frame;
}

// Marker positions are 32-bit offsets; the file's data is never longer.
uint32_t MarkerOffset(const WavePane& pane, uint64_t offset) {
  return static_cast<uint32_t>(std::min<uint64_t>(FloorToFrame(pane, offset), 0xFFFFFFFFu));
}

// Keeps the view's width and centres it on offset when offset lies outside it.
void ShowOffset(WavePane& pane, uint64_t offset) {
  const PaneView& view = pane.View();
  if (offset >= view.start && offset <= view.end) return;
  const uint64_t width = view.end - view.start;
  const uint64_t start = offset > width / 2 ? offset - width / 2 : 0;
  const uint64_t end = std::min(start + width, pane.DataLength());
  pane.ShowRange(end >= width ? end - width : 0, end);
}

void GoToMarker(WavePane& pane, int index) {
  const uint32_t position = pane.Markers()->MarkerPosition(index);
  pane.SetCursor(position);
  pane.SetSelectedMarker(index);
  ShowOffset(pane, position);
}

uint64_t MarkerReference(const WavePane& pane) {
  return pane.Cursor() >= 0 ? static_cast<uint64_t>(pane.Cursor()) : pane.SelectionStart();
}

// --- Chopping ---------------------------------------------------------------------------

bool PathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// count numbered names beside path, ascending, each free together with its peak file's name
// (an old peak file would show wrong markers); nothing when the numbers run out.
std::optional<std::vector<std::string>> PieceNames(const std::string& path, size_t count) {
  std::vector<std::string> names;
  const auto taken = [&names](const std::string& name) {
    return PathExists(name) || PathExists(PeakFile::PeakFileName(name)) ||
           std::find(names.begin(), names.end(), name) != names.end();
  };
  while (names.size() < count) {
    std::string name = MakeNumberedName(path, 1, taken);
    if (name.empty()) return std::nullopt;
    names.push_back(std::move(name));
  }
  return names;
}

// The boundaries of the pieces: the start, the markers inside the data (whole frames), the
// end, each once and ascending.
std::vector<uint64_t> PieceBounds(const std::vector<uint32_t>& markers, uint64_t dataBytes, int frame) {
  std::vector<uint64_t> bounds{0, dataBytes};
  for (const uint32_t marker : markers) {
    const uint64_t at = marker - marker % static_cast<uint32_t>(std::max(frame, 1));
    if (at < dataBytes) bounds.push_back(at);
  }
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  return bounds;
}

// Copies the data [from, to) of source into a new file named name, which appears whole (on
// disk, under its name) or not at all. False after a message.
bool MakePiece(const std::string& source, const std::string& name, uint64_t from, uint64_t to,
               const WaveFormat& format, Prompts& prompts) {
  std::string problem;
  std::optional<StagedOutput> staged = StagedOutput::Begin(name, false, problem);
  if (!staged) {
    prompts.Show(problem, "", PromptIcon::Error);
    return false;
  }
  // The staged file is ours and empty: give it the source's header, then copy the bytes in.
  RunState run;
  WaveStream header(64, 0, run);
  WaveFormat pieceFormat = format;
  const bool started = header.Create(staged->WritePath(), pieceFormat, kCreateOverwrite) == kStreamOk &&
                       header.FinishWrite(kFlagDirty, kFlagDirty) == 0;
  header.Close();
  if (!started || CopyRange(source, staged->WritePath(), from, to, 0, 0, prompts) != 1) return false;
  if (const std::string failure = staged->Commit(); !failure.empty()) {
    prompts.Show(failure, "", PromptIcon::Error);
    return false;
  }
  return true;
}

enum class Renamed { Nothing, WaveOnly, Both };

// Renames the original and moves its peak file along, keeping only the markers inside what is
// left of the data.
Renamed RenameWithPeakFile(const std::string& path, const std::string& name, uint64_t dataBytes, Prompts& prompts) {
  if (MoveFile(path, name, true) != 0) return Renamed::Nothing;
  const std::string peaks = PeakFile::PeakFileName(path);
  struct stat info {};
  if (lstat(peaks.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return Renamed::Both;
  if (MoveFile(peaks, PeakFile::PeakFileName(name), true) != 0) return Renamed::WaveOnly;
  RunState run;
  PeakFile moved(name, run, prompts);
  for (int i = moved.MarkerCount() - 1; i >= 0; --i)
    if (moved.MarkerPosition(i) >= dataBytes) moved.RemoveMarker(i);
  return Renamed::Both;
}

bool Halt(StringId message, Prompts& prompts) {
  prompts.Show(StringText(message), "", PromptIcon::Error);
  return false;
}

// The analysis result of the silence finder, kept for after the run.
class SilencePositions : public RunDialog {
 public:
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override {
    FilterProcessor* previous = m_attached;
    m_attached = processor;
    return previous;
  }
  void TakeAnalysisResult(FilterProcessor& processor) override {
    if (const auto* finder = dynamic_cast<const MarkSilenceProcessor*>(&processor); finder != nullptr) {
      m_positions.assign(finder->Positions().begin(), finder->Positions().end());
      m_found = finder->FoundCount();
    }
  }
  const std::vector<uint32_t>& Positions() const { return m_positions; }
  int Found() const { return m_found; }

 private:
  FilterProcessor* m_attached = nullptr;
  std::vector<uint32_t> m_positions;
  int m_found = 0;
};

}  // namespace

bool AddMarkerAt(WavePane& pane, uint64_t offset) {
  PeakFile* markers = pane.Markers();
  return markers != nullptr && markers->AddMarker(MarkerOffset(pane, offset)) == 1;
}

bool AddMarkerAtSelectionStart(WavePane& pane) { return AddMarkerAt(pane, pane.SelectionStart()); }

bool DropMarker(WavePane& pane, uint64_t playPosition, int reactionMs) {
  const uint64_t bytesPerSecond = static_cast<uint64_t>(pane.SampleRate()) * static_cast<uint64_t>(pane.BlockAlign());
  const uint64_t back = static_cast<uint64_t>(std::max(reactionMs, 0)) * bytesPerSecond / 1000;
  return AddMarkerAt(pane, playPosition > back ? playPosition - back : 0);
}

bool RemoveAllMarkers(WavePane& pane) {
  PeakFile* markers = pane.Markers();
  if (markers == nullptr) return true;
  pane.SetSelectedMarker(-1);
  return markers->RemoveMarker(-1);
}

int RemoveMarkersAtCursor(WavePane& pane, const PaneRect& rect) {
  PeakFile* markers = pane.Markers();
  if (markers == nullptr || pane.Cursor() < 0) return 0;
  const double cursorX = pane.PixelAt(static_cast<uint64_t>(pane.Cursor()), rect.left, rect.right);
  const PaneView& view = pane.View();
  int removed = 0;
  for (int i = markers->MarkerCount() - 1; i >= 0; --i) {
    const uint32_t position = markers->MarkerPosition(i);
    // A marker outside the view would be drawn clamped to the edge: it is not under the cursor.
    if (position < view.start || position > view.end) continue;
    if (std::fabs(pane.PixelAt(position, rect.left, rect.right) - cursorX) >= DocumentViewState::kMarkerClickPixels)
      continue;
    markers->RemoveMarker(i);
    ++removed;
  }
  if (removed > 0) pane.SetSelectedMarker(-1);
  return removed;
}

bool GotoNextMarker(WavePane& pane) {
  PeakFile* markers = pane.Markers();
  if (markers == nullptr) return false;
  const uint64_t from = MarkerReference(pane);
  for (int i = 0; i < markers->MarkerCount(); ++i) {
    if (markers->MarkerPosition(i) > from) {
      GoToMarker(pane, i);
      return true;
    }
  }
  return false;
}

bool GotoPreviousMarker(WavePane& pane) {
  PeakFile* markers = pane.Markers();
  if (markers == nullptr) return false;
  const uint64_t from = MarkerReference(pane);
  for (int i = markers->MarkerCount() - 1; i >= 0; --i) {
    if (markers->MarkerPosition(i) < from) {
      GoToMarker(pane, i);
      return true;
    }
  }
  return false;
}

bool QuantizeMarkers(PeakFile& markers, int32_t blockSize) {
  const auto block = static_cast<uint32_t>(blockSize >= 1 ? blockSize : kCdSectorBytes);
  bool saved = true;
  // Rounding down keeps the order, so every marker keeps its index.
  for (int i = 0; i < markers.MarkerCount(); ++i) {
    const uint32_t position = markers.MarkerPosition(i);
    if (position % block != 0) saved = markers.SetMarker(i, block * (position / block)) && saved;
  }
  return saved;
}

bool QuantizeMarkersForCd(PeakFile& markers, const SettingsStore& settings) {
  return QuantizeMarkers(markers, settings.Read(setting::kCdBlockSize));
}

ChopResult ChopFileAtMarkers(const std::string& path, const std::vector<uint32_t>& markers, bool keepOriginal,
                             Prompts& prompts) {
  ChopResult result;
  RunState run;
  WaveFormat format;
  uint64_t dataBytes = 0;
  {
    WaveStream probe(64, 0, run);
    if (const int opened = probe.Open(path, kOpenRead); opened != kStreamOk) {
      ReportStreamError(prompts, opened);
      return result;
    }
    format = probe.Format();
    dataBytes = probe.DataBytes();
  }
  const std::vector<uint64_t> bounds = PieceBounds(markers, dataBytes, format.blockAlign);
  const size_t pieces = bounds.size() - 1;
  const std::optional<std::vector<std::string>> names = PieceNames(path, pieces);
  if (!names) {
    prompts.Show(FormatText(StringId::kChopNoFreeName, {path}), "", PromptIcon::Error);
    return result;
  }

  if (keepOriginal) {
    for (size_t i = 0; i < pieces; ++i) {
      if (!MakePiece(path, (*names)[i], bounds[i], bounds[i + 1], format, prompts)) {
        Halt(StringId::kChopCreateFailed, prompts);
        return result;
      }
      result.created.push_back((*names)[i]);
    }
    result.done = true;
    return result;
  }

  // The original is cut: never through a link, and by no one else meanwhile.
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    prompts.Show(FormatText(StringId::kChopOriginalIsLink, {path}), "", PromptIcon::Error);
    return result;
  }
  std::string problem;
  const std::optional<OutputLock> lock = OutputLock::Acquire(path, problem);
  if (!lock) {
    prompts.Show(problem, "", PromptIcon::Error);
    return result;
  }
  std::vector<std::string> tails;
  for (size_t i = pieces - 1; i >= 1; --i) {
    if (!MakePiece(path, (*names)[i], bounds[i], bounds[i + 1], format, prompts)) {
      Halt(StringId::kChopCreateFailed, prompts);
      result.created.assign(tails.rbegin(), tails.rend());
      return result;
    }
    tails.push_back((*names)[i]);
    // The piece is whole on disk: only now does the original lose it.
    if (CutRange(path, bounds[i], bounds[i + 1], prompts) != 1) {
      Halt(StringId::kChopCutFailed, prompts);
      result.created.assign(tails.rbegin(), tails.rend());
      return result;
    }
  }
  const Renamed renamed = RenameWithPeakFile(path, (*names)[0], bounds[1], prompts);
  if (renamed != Renamed::Nothing) {
    result.renamedOriginal = (*names)[0];
    result.created.push_back((*names)[0]);
  }
  result.created.insert(result.created.end(), tails.rbegin(), tails.rend());
  if (renamed != Renamed::Both) {
    prompts.Show(StringText(StringId::kChopRenameFailed), StringText(StringId::kCaptionError), PromptIcon::Error);
    return result;
  }
  result.done = true;
  return result;
}

ChopOutcome ChopAtMarkers(const std::string& path, const PeakFile& markers, Prompts& prompts) {
  ChopOutcome outcome;
  if (markers.MarkerCount() == 0) {
    prompts.Show(StringText(StringId::kChopNoMarkers), "", PromptIcon::Warning);
    return outcome;
  }
  outcome.askedToKeep = true;
  const bool keep = prompts.Ask(StringText(StringId::kChopPreserveOriginal), "", PromptButtons::YesNo,
                                PromptIcon::Question) == PromptAnswer::Yes;
  std::vector<uint32_t> positions;
  for (const Marker& marker : markers.Markers()) positions.push_back(marker.position);
  outcome.result = ChopFileAtMarkers(path, positions, keep, prompts);
  if (outcome.result.created.empty()) return outcome;
  std::string list(StringText(StringId::kChopFilesCreated));
  for (const std::string& name : outcome.result.created) list += "\n" + name;
  prompts.Show(list, "", PromptIcon::Information);
  if (outcome.result.done)
    outcome.makePlaylist = prompts.Ask(StringText(StringId::kChopPlaylistQuestion), "", PromptButtons::YesNo,
                                       PromptIcon::Question) == PromptAnswer::Yes;
  return outcome;
}

MarkSilenceOutcome FindAndMarkSilence(PeakFile& sourceMarkers, const MarkSilenceSettings& values,
                                      const SilenceRun& run, SettingsStore& settings, Prompts& prompts) {
  MarkSilenceOutcome outcome;
  if (sourceMarkers.MarkerCount() > 0 &&
      prompts.Ask(StringText(StringId::kMarkSilenceRemoveMarkers), "", PromptButtons::YesNo, PromptIcon::Question) ==
          PromptAnswer::Yes)
    sourceMarkers.RemoveMarker(-1);
  PresetValues preset;
  preset.p[0] = std::clamp(values.thresholdDb, -100, 0);
  preset.p[1] = std::clamp(values.minimumTenths, 1, 100);
  SilencePositions found;
  outcome.runResult = run(preset, found);
  WriteMarkSilenceSettings(settings, {preset.p[0], preset.p[1]});
  if (outcome.runResult != 1) return outcome;
  outcome.found = found.Found();
  for (const uint32_t position : found.Positions()) {
    if (sourceMarkers.AddMarker(position) != 1) break;  // 100 markers
    ++outcome.added;
  }
  return outcome;
}

MarkSilenceOutcome FindAndMarkSilence(FilterRun& runner, const RunState& run, RunView& view, PeakFile& sourceMarkers,
                                      const MarkSilenceSettings& values, SettingsStore& settings, Prompts& prompts) {
  if (runner.RunBusy() || run.engineState == kEnginePlaying || run.engineState == kEnginePaused) {
    // A second request stops what goes on (the run's own rule), and nothing else happens.
    MarkSilenceOutcome stopped;
    stopped.runResult = runner.RunFilter(&view, kMarkSilenceType, nullptr, false, -1, PresetValues{});
    return stopped;
  }
  const MarkSilenceOutcome outcome = FindAndMarkSilence(
      sourceMarkers, values,
      [&](const PresetValues& preset, RunDialog& dialog) {
        return runner.RunFilter(&view, kMarkSilenceType, &dialog, false, -1, preset);
      },
      settings, prompts);
  view.RefreshAll();
  return outcome;
}

}  // namespace ztlive
