// The peak file beside a wave file ("take.wav" -> "take.pkf"): a signature, the file's marker
// table, and one record per 200 frames holding each channel's largest absolute sample in
// 16-bit scale. Views draw long files from it; edits rebuild the range they changed.
//
//   offset 0      16-byte signature
//   offset 16     100 markers of 260 bytes: position (u32 data byte offset), 256-byte label
//   offset 26016  marker count (i32)
//   offset 26020  records: record n at 26020 + n * 2 * channels, i16 per channel
//
// Record n covers frames 200 n ... 200 n + 199, and from n = 1 on also the frame that closed
// record n - 1 (200 n - 1), which counts in both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/run_state.h"
#include "platform/prompts.h"
#include "platform/string_table.h"

namespace ztlive {

// True when the name ends in the peak-file extension ".pkf" (any case): such a name is never a
// wave file's, since a wave file of that name would be its own peak file.
bool IsPeakFileName(const std::string& path);

struct Marker {
  uint32_t position = 0;  // data byte offset
  std::string label;      // at most 255 characters
};

class PeakFile {
 public:
  static constexpr int kFramesPerRecord = 200;
  static constexpr uint32_t kHeaderBytes = 26020;
  static constexpr int kMaxMarkers = 100;

  // Loads the markers of the wave file's peak file when it has one.
  PeakFile(std::string wavePath, RunState& run, Prompts& prompts);

  // "take.wav" -> "take.pkf", "take" -> "take.pkf".
  static std::string PeakFileName(const std::string& wavePath);
  const std::string& PeakPath() const { return m_peakPath; }

  // Builds the records for the data bytes [from, to) (to = 0: to the end), one record more on
  // each side; built to the end, a last partial record is written too. Only a peak file that
  // is absent or carries a peak-file signature is written: a link, a folder or any other file
  // of that name is reported and left alone. 0 done (or skipped while peaks are suppressed), a
  // StreamError when the wave file cannot be opened, -1 otherwise (reported).
  int Build(uint64_t from, uint64_t to);
  // One 16-bit peak per column and channel ([column * channels + channel]) for the data bytes
  // [from, to). columns may come back smaller for very short ranges. 1 done, 0 failed.
  int ReadDisplayPeaks(std::vector<int16_t>& peaks, int& columns, uint64_t from, uint64_t to);

  // Markers, kept sorted by position; every change rewrites the peak file's header. A header
  // that cannot be written is reported and makes SaveFailed() true until the next save.
  int AddMarker(uint32_t position);  // 1 added, 0 refused (100 markers exist)
  bool RemoveMarker(int index);      // -1: all; false when the change could not be saved
  bool SetMarker(int index, uint32_t position);
  bool SaveFailed() const { return m_saveFailed; }
  uint32_t MarkerPosition(int index) const { return m_markers[static_cast<size_t>(index)].position; }
  const std::vector<Marker>& Markers() const { return m_markers; }
  int MarkerCount() const { return static_cast<int>(m_markers.size()); }

  // The largest record value of the last build, in 16-bit scale.
  int LargestPeak() const { return m_largestPeak; }
  bool IsValid() const { return m_valid; }

 private:
  bool ReadHeader();
  std::vector<uint8_t> HeaderBytes() const;
  bool SaveHeader();
  // Opens the peak file for writing when it is ours, creating it when absent; rebuildAll
  // tells that its records cannot be kept. -1 (reported) when it is not ours or fails.
  int OpenForWriting(FileIo& file, bool& rebuildAll);
  int Failed(StringId message, std::string_view reason);
  void SortMarkers();

  std::string m_wavePath;
  std::string m_peakPath;
  RunState& m_run;
  Prompts& m_prompts;
  std::vector<Marker> m_markers;
  int m_largestPeak = 0;
  bool m_valid = false;
  bool m_saveFailed = false;
};

}  // namespace ztlive
