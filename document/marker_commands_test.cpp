// The marker commands on real files: markers added, removed and visited in a pane, quantised
// to CD sectors, chopping both ways checked byte for byte (also when a piece cannot be made),
// and finding silence through a real filter run.
#include "document/marker_commands.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "core/wave_stream.h"
#include "document/run_environment.h"
#include "filters/analysis/mark_silence_processor.h"
#include "platform/file_ops.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "platform/virtual_sound_card.h"
#include "testing/engine_run.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

// The data chunk's bytes of a wave file (empty when it cannot be read).
std::vector<uint8_t> DataOf(const std::string& path) {
  RunState run;
  WaveStream stream(64, 0, run);
  if (stream.Open(path, kOpenRead) != kStreamOk) return {};
  std::vector<uint8_t> bytes(stream.DataBytes());
  if (stream.ReadRaw(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) return {};
  return bytes;
}

std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* listing = opendir(folder.c_str()); listing != nullptr) {
    while (const dirent* entry = readdir(listing))
      if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.insert(entry->d_name);
    closedir(listing);
  }
  return names;
}

std::vector<uint32_t> PositionsOf(const PeakFile& peaks) {
  std::vector<uint32_t> positions;
  for (const Marker& marker : peaks.Markers()) positions.push_back(marker.position);
  return positions;
}

// Bytes that tell where they came from.
std::vector<uint8_t> CountingBytes(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

class PaneMarkers : public ::testing::Test {
 protected:
  void SetUp() override {
    // 8000 frames of mono 16-bit audio at 8000 Hz: 16000 bytes, 16 bytes a pixel in full view.
    test::WriteBytes(folder.File("take.wav"),
                     test::WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(16000, 1)).Build());
    ASSERT_TRUE(pane.Open(folder.File("take.wav")));
  }
  void SetMarkers(std::initializer_list<uint32_t> positions) {
    pane.Markers()->RemoveMarker(-1);
    for (const uint32_t position : positions) pane.Markers()->AddMarker(position);
  }

  TestFolder folder;
  RunState run;
  ScriptedPrompts prompts;
  WavePane pane{run, prompts};
  const PaneRect rect{0, 1000};
};

TEST_F(PaneMarkers, AddedMarkersSitOnWholeFramesInsideTheData) {
  struct Case {
    const char* what;
    std::function<bool(WavePane&)> add;
    uint32_t expected;
  };
  const Case cases[] = {
      {"at an odd offset", [](WavePane& p) { return AddMarkerAt(p, 5001); }, 5000},
      {"beyond the data", [](WavePane& p) { return AddMarkerAt(p, 99999); }, 16000},
      {"at the selection start",
       [](WavePane& p) {
         p.SetSelection(777, 900);
         return AddMarkerAtSelectionStart(p);
       },
       776},
      {"dropped 100 ms (1600 bytes) before the play position", [](WavePane& p) { return DropMarker(p, 5001, 100); },
       3400},
      {"dropped near the start", [](WavePane& p) { return DropMarker(p, 1000, 100); }, 0},
      {"dropped without reaction time", [](WavePane& p) { return DropMarker(p, 1234, 0); }, 1234},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetMarkers({});
    EXPECT_TRUE(c.add(pane));
    EXPECT_EQ(PositionsOf(*pane.Markers()), std::vector<uint32_t>{c.expected});
    // The marker is in the peak file, not only in the pane.
    EXPECT_EQ(PositionsOf(PeakFile(folder.File("take.wav"), run, prompts)), std::vector<uint32_t>{c.expected});
  }
  WavePane empty(run, prompts);
  EXPECT_FALSE(AddMarkerAt(empty, 10));
  EXPECT_EQ(RemoveMarkersAtCursor(empty, rect), 0);
}

TEST_F(PaneMarkers, OnlyMarkersDrawnWithinFivePixelsOfTheCursorAreRemoved) {
  struct Case {
    uint64_t viewStart, viewEnd;
    int64_t cursor;
    std::vector<uint32_t> before, after;
  };
  const Case cases[] = {
      // Full view, 16 bytes a pixel; the cursor at pixel 500.
      {0, 16000, 8000, {7920, 7936, 8000, 8064, 8080}, {7920, 8080}},
      {0, 16000, -1, {8000}, {8000}},  // no cursor, nothing under it
      // A view of [0, 4000): a marker beyond it would be drawn clamped at the cursor's pixel.
      {0, 4000, 3998, {3996, 4400, 9000}, {4400, 9000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cursor);
    pane.ShowRange(c.viewStart, c.viewEnd);
    pane.SetCursor(c.cursor);
    SetMarkers(std::initializer_list<uint32_t>{});
    for (const uint32_t position : c.before) pane.Markers()->AddMarker(position);
    EXPECT_EQ(RemoveMarkersAtCursor(pane, rect), static_cast<int>(c.before.size() - c.after.size()));
    EXPECT_EQ(PositionsOf(*pane.Markers()), c.after);
  }
  EXPECT_TRUE(RemoveAllMarkers(pane));
  EXPECT_EQ(PeakFile(folder.File("take.wav"), run, prompts).MarkerCount(), 0);
}

TEST_F(PaneMarkers, GotoNextAndPreviousMoveTheCursorAndBringTheMarkerIntoView) {
  SetMarkers({1000, 5000, 15000});
  pane.ShowRange(0, 4000);
  pane.SetCursor(-1);
  pane.SetSelection(0, 0);
  struct Step {
    bool next;
    bool moved;
    int64_t cursor;
    uint64_t viewStart, viewEnd;
  };
  const Step steps[] = {
      {true, true, 1000, 0, 4000},        // already in view: the view stays
      {true, true, 5000, 3000, 7000},     // centred, same width
      {true, true, 15000, 12000, 16000},  // centred as far as the end allows
      {true, false, 15000, 12000, 16000},
      {false, true, 5000, 3000, 7000},
      {false, true, 1000, 0, 4000},       // as far as the start allows
      {false, false, 1000, 0, 4000},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.cursor);
    EXPECT_EQ(step.next ? GotoNextMarker(pane) : GotoPreviousMarker(pane), step.moved);
    EXPECT_EQ(pane.Cursor(), step.cursor);
    EXPECT_EQ(pane.View().start, step.viewStart);
    EXPECT_EQ(pane.View().end, step.viewEnd);
    EXPECT_EQ(pane.Markers()->MarkerPosition(pane.SelectedMarker()), static_cast<uint32_t>(step.cursor));
  }
}

TEST_F(PaneMarkers, QuantizingMovesEveryMarkerDownToItsSector) {
  struct Case {
    int32_t blockSize;
    std::vector<uint32_t> before, after;
  };
  const Case cases[] = {
      {2352, {0, 2351, 2352, 5000, 9999}, {0, 0, 2352, 4704, 9408}},
      {0, {5000}, {4704}},  // no usable block size: one CD sector
      {1000, {999, 1500, 12345}, {0, 1000, 12000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blockSize);
    SetMarkers({});
    for (const uint32_t position : c.before) pane.Markers()->AddMarker(position);
    EXPECT_TRUE(QuantizeMarkers(*pane.Markers(), c.blockSize));
    EXPECT_EQ(PositionsOf(PeakFile(folder.File("take.wav"), run, prompts)), c.after);
  }
  SettingsStore settings(folder.File("settings.ini"));
  SetMarkers({5000});
  EXPECT_TRUE(QuantizeMarkersForCd(*pane.Markers(), settings));
  EXPECT_EQ(PositionsOf(*pane.Markers()), std::vector<uint32_t>{4704});
}

class Chopping : public ::testing::Test {
 protected:
  void SetUp() override {
    // 3000 frames of 16-bit stereo: 12000 bytes; markers cut it at 1000, 3000 and 9000.
    DeleteFile(PeakFile::PeakFileName(path));
    test::WriteBytes(path, test::WaveBytes().Format(1, 2, 8000, 16).Data(original).Build());
    PeakFile peaks(path, run, prompts);
    for (const uint32_t marker : {0u, 1001u, 3000u, 3000u, 9000u, 20000u}) peaks.AddMarker(marker);
    markers = PositionsOf(peaks);
    // take2.wav is someone's file, and take4 has a peak file left: neither name is used.
    test::WriteBytes(folder.File("take2.wav"), {1, 2, 3});
    test::WriteBytes(folder.File("take4.pkf"), {4, 5, 6});
  }
  std::vector<uint8_t> Slice(size_t from, size_t to) const {
    return {original.begin() + static_cast<ptrdiff_t>(from), original.begin() + static_cast<ptrdiff_t>(to)};
  }

  TestFolder folder;
  const std::string path = folder.File("take.wav");
  const std::vector<uint8_t> original = CountingBytes(12000);
  RunState run;
  ScriptedPrompts prompts;
  std::vector<uint32_t> markers;
};

TEST_F(Chopping, EveryPieceHoldsItsStretchOfTheOriginalBothWays) {
  const std::vector<std::string> pieces = {"take1.wav", "take3.wav", "take5.wav", "take6.wav"};
  const size_t bounds[] = {0, 1000, 3000, 9000, 12000};
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "keeping the original" : "cutting the original");
    SetUp();
    for (const std::string& piece : pieces) DeleteFile(folder.File(piece));
    DeleteFile(folder.File("take1.pkf"));
    const std::vector<uint8_t> originalFile = test::ReadBytes(path);
    const std::vector<uint8_t> originalPeaks = test::ReadBytes(PeakFile::PeakFileName(path));

    const ChopResult result = ChopFileAtMarkers(path, markers, keep, prompts);
    EXPECT_TRUE(result.done);
    std::vector<std::string> expected;
    for (const std::string& piece : pieces) expected.push_back(folder.File(piece));
    EXPECT_EQ(result.created, expected);
    for (size_t i = 0; i < pieces.size(); ++i)
      EXPECT_EQ(DataOf(folder.File(pieces[i])), Slice(bounds[i], bounds[i + 1])) << pieces[i];
    EXPECT_EQ(test::ReadBytes(folder.File("take2.wav")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(test::ReadBytes(folder.File("take4.pkf")), (std::vector<uint8_t>{4, 5, 6}));

    std::set<std::string> names = {"take2.wav", "take4.pkf", "take1.wav", "take3.wav", "take5.wav", "take6.wav"};
    if (keep) {
      EXPECT_EQ(result.renamedOriginal, "");
      EXPECT_EQ(test::ReadBytes(path), originalFile);
      EXPECT_EQ(test::ReadBytes(PeakFile::PeakFileName(path)), originalPeaks);
      names.insert({"take.wav", "take.pkf"});
    } else {
      // The original became the first piece, and its peak file went with it, keeping the
      // markers inside that piece.
      EXPECT_EQ(result.renamedOriginal, folder.File("take1.wav"));
      EXPECT_FALSE(FileExists(path));
      EXPECT_EQ(PositionsOf(PeakFile(folder.File("take1.wav"), run, prompts)), std::vector<uint32_t>{0});
      names.insert("take1.pkf");
    }
    EXPECT_EQ(FolderNames(folder.Path()), names) << "no temporary or lock file is left";
  }
  EXPECT_TRUE(prompts.Texts().empty());
}

TEST_F(Chopping, APieceThatCannotBeMadeHaltsWithNoAudioLost) {
  // The third piece's temporary name is taken by a folder, so that piece cannot be made.
  ASSERT_EQ(mkdir(folder.File(".take5.wav.ztpart").c_str(), 0755), 0);
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "keeping the original" : "cutting the original");
    prompts.Clear();
    const ChopResult result = ChopFileAtMarkers(path, markers, keep, prompts);
    EXPECT_FALSE(result.done);
    ASSERT_FALSE(prompts.Texts().empty());
    EXPECT_EQ(prompts.Texts().back(), StringText(StringId::kChopCreateFailed));
    // Whatever was made, plus what the original still holds, is the whole recording.
    std::vector<uint8_t> joined = DataOf(path);
    for (const std::string& piece : result.created) {
      const std::vector<uint8_t> data = DataOf(piece);
      joined.insert(joined.end(), data.begin(), data.end());
    }
    if (keep) {
      EXPECT_EQ(result.created, (std::vector<std::string>{folder.File("take1.wav"), folder.File("take3.wav")}));
      EXPECT_EQ(DataOf(path), original);
    } else {
      EXPECT_EQ(result.created, std::vector<std::string>{folder.File("take6.wav")});
      EXPECT_EQ(joined, original);
    }
    for (const std::string& piece : result.created) DeleteFile(piece);
  }
}

TEST_F(Chopping, TheCommandAsksListsAndOffersAPlaylist) {
  struct Case {
    bool hasMarkers;
    PromptAnswer keep, playlist;
    std::vector<std::string> texts;
  };
  const std::string list = std::string(StringText(StringId::kChopFilesCreated)) + "\n" + folder.File("take1.wav") +
                           "\n" + folder.File("take3.wav") + "\n" + folder.File("take5.wav") + "\n" +
                           folder.File("take6.wav");
  const std::string keepQuestion(StringText(StringId::kChopPreserveOriginal));
  const std::string playlistQuestion(StringText(StringId::kChopPlaylistQuestion));
  const Case cases[] = {
      {false, PromptAnswer::Yes, PromptAnswer::Yes, {std::string(StringText(StringId::kChopNoMarkers))}},
      {true, PromptAnswer::Yes, PromptAnswer::Yes, {keepQuestion, list, playlistQuestion}},
      {true, PromptAnswer::Yes, PromptAnswer::No, {keepQuestion, list, playlistQuestion}},
  };
  for (const Case& c : cases) {
    prompts.Clear();
    prompts.Script(c.keep);
    prompts.Script(c.playlist);
    PeakFile peaks(path, run, prompts);
    if (!c.hasMarkers) peaks.RemoveMarker(-1);
    const ChopOutcome outcome = ChopAtMarkers(path, peaks, prompts);
    EXPECT_EQ(prompts.Texts(), c.texts);
    EXPECT_EQ(outcome.askedToKeep, c.hasMarkers);
    EXPECT_EQ(outcome.makePlaylist, c.hasMarkers && c.playlist == PromptAnswer::Yes);
    EXPECT_EQ(outcome.result.created.size(), c.hasMarkers ? 4u : 0u);
    for (const std::string& piece : outcome.result.created) DeleteFile(piece);
    if (!c.hasMarkers) SetUp();
  }
}

// Tones with silences of 1.5 s, 2 s and 0.4 s between them, at 8000 Hz mono, as 24-bit
// values; the silences hold a small offset.
std::vector<SampleValue> TonesAndSilences() {
  std::vector<SampleValue> values;
  size_t frame = 0;
  bool tone = true;
  for (const double seconds : {0.5, 1.5, 0.5, 2.0, 0.5, 0.4, 0.5}) {
    for (int i = 0; i < static_cast<int>(seconds * 8000); ++i, ++frame)
      values.push_back(tone ? static_cast<SampleValue>(4000000 * std::sin(frame * 0.3)) : 50);
    tone = !tone;
  }
  return values;
}

class FindingSilence : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteValues24(path, 1, 8000, signal); }

  class View : public RunView {
   public:
    explicit View(CZantoDoc& document) : m_document(document) {}
    CZantoDoc& Document() override { return m_document; }
    void Selection(int64_t& first, int64_t& last) override {
      first = from;
      last = 0;
    }
    void RefreshAll() override { ++refreshes; }
    int64_t from = 0;
    int refreshes = 0;

   private:
    CZantoDoc& m_document;
  };

  TestFolder folder;
  const std::string path = folder.File("talk.wav");
  const std::vector<SampleValue> signal = TonesAndSilences();
  SettingsStore settings{folder.File("settings.ini")};
  ScriptedPrompts prompts;
  RunState run;
  RunEnvironment environment{std::make_unique<VirtualSoundCard>(0, 0), run, settings, prompts};
  CZantoDoc document{path, settings, prompts};
  View view{document};
};

TEST_F(FindingSilence, TheRunMarksWhatTheEngineFindsAndKeepsTheSettings) {
  MarkSilenceProcessor engine;
  PresetValues values;
  values.p[0] = -30;
  values.p[1] = 8;
  engine.SetValues(values);
  test::RunEngine(engine, 1, 8000, signal);
  const std::vector<uint32_t> expected(engine.Positions().begin(), engine.Positions().end());
  ASSERT_EQ(expected.size(), 2u) << "the 1.5 s and 2 s silences";

  struct Case {
    bool hadMarkers;
    PromptAnswer removeThem;
    std::vector<uint32_t> after;
  };
  const Case cases[] = {
      {false, PromptAnswer::Yes, expected},
      {true, PromptAnswer::Yes, expected},
      {true, PromptAnswer::No, {7, expected[0], expected[1]}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after.size());
    prompts.Clear();
    prompts.Script(c.removeThem);
    PeakFile peaks(path, run, prompts);
    peaks.RemoveMarker(-1);
    if (c.hadMarkers) peaks.AddMarker(7);
    view.from = 0;
    const MarkSilenceOutcome outcome =
        FindAndMarkSilence(environment.Runner(), run, view, peaks, {-30, 8}, settings, prompts);
    EXPECT_EQ(outcome.runResult, 1);
    EXPECT_EQ(outcome.added, static_cast<int>(c.after.size()) - (c.removeThem == PromptAnswer::No ? 1 : 0));
    EXPECT_EQ(PositionsOf(PeakFile(path, run, prompts)), c.after);
    EXPECT_EQ(prompts.Entries().size(), c.hadMarkers ? 1u : 0u);
  }
  EXPECT_EQ(view.refreshes, 3);

  // A selection from the middle of the first silence (frame 8000) on: that passage runs from
  // the selection's start until the envelope of the second tone (from frame 16000) has risen
  // over the threshold, within 100 frames; positions count from the file's start.
  PeakFile peaks(path, run, prompts);
  peaks.RemoveMarker(-1);
  view.from = 8000 * 3;
  EXPECT_EQ(FindAndMarkSilence(environment.Runner(), run, view, peaks, {-30, 8}, settings, prompts).added, 2);
  const std::vector<uint32_t> found = PositionsOf(peaks);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_GE(found[0], 16000u * 3 - 8000u * 3 / 4);
  EXPECT_LT(found[0], 16000u * 3 - 8000u * 3 / 4 + 100 * 3 * 3 / 4);
  EXPECT_EQ(found[1], expected[1]);
  EXPECT_EQ(ReadMarkSilenceSettings(settings).thresholdDb, -30);
  EXPECT_EQ(ReadMarkSilenceSettings(settings).minimumTenths, 8);
}

TEST_F(FindingSilence, DuringPlaybackTheCommandOnlyStopsIt) {
  PeakFile peaks(path, run, prompts);
  peaks.AddMarker(7);
  run.engineState = kEnginePlaying;
  const MarkSilenceOutcome outcome = FindAndMarkSilence(environment.Runner(), run, view, peaks, {-30, 8}, settings, prompts);
  run.engineState = kEngineStopped;
  EXPECT_EQ(run.stopRequested.load(), 1);
  EXPECT_EQ(outcome.added, 0);
  EXPECT_TRUE(prompts.Entries().empty()) << "no question about the markers";
  EXPECT_EQ(PositionsOf(PeakFile(path, run, prompts)), std::vector<uint32_t>{7});
}

TEST_F(FindingSilence, StoredStartingValuesAreHeldInsideTheDialogsRanges) {
  struct Case {
    int storedThresh, storedLength, thresh, length;
  };
  for (const Case& c : {Case{-40, 30, -40, 30}, Case{-300, 0, -100, 1}, Case{12, 5000, 0, 100}}) {
    settings.Write(setting::kMarkSilenceThresh, c.storedThresh);
    settings.Write(setting::kMarkSilenceLength, c.storedLength);
    EXPECT_EQ(ReadMarkSilenceSettings(settings).thresholdDb, c.thresh);
    EXPECT_EQ(ReadMarkSilenceSettings(settings).minimumTenths, c.length);
  }
}

}  // namespace
}  // namespace ztlive
