// A batch job: one filter with one preset over a list of wave files, each over the same kind
// of region, every result saved as a new wave file beside its source under a numbered name or
// in a destination directory. The window and the command line both run it; this part holds no
// Qt and processes no samples.
//
// A job is kept in a batch file (.fbt): fields one after the other, no padding, integers
// little-endian:
//
//   magic          string "ZANTO32 BATCH FILE VER 1.00 1999"
//   filter type    int32   the type id, -1 for none
//   region mode    int32   0 entire file, 1 last seconds, 2 first seconds, 3 range
//   first seconds  double
//   last seconds   double
//   range from     double
//   range to       double
//   preset name    string
//   file count     int32   n
//   files          n strings
//
// A string is its length then its bytes, no terminator: a length below 255 in one byte; up
// to 0xFFFD as 0xFF and a 16-bit length; longer as 0xFF, 0xFFFF and a 32-bit length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filters/framework/filter_types.h"

namespace ztlive {

inline constexpr std::string_view kBatchFileMagic = "ZANTO32 BATCH FILE VER 1.00 1999";
inline constexpr FilterTypeId kNoBatchFilter = -1;
inline constexpr FilterTypeId kNormalizeFilter = 32;  // normalizes the source in place
inline constexpr double kBatchSecondsMin = 0.0;
inline constexpr double kBatchSecondsMax = 32000.0;
// Numbered names beside the source stop at this number.
inline constexpr int kBatchLastNumber = 999;
// Batch files larger than this, or listing more files, are refused as damaged before any of
// it is held in memory.
inline constexpr uint64_t kMaxBatchFileBytes = 128ull << 20;
inline constexpr int32_t kMaxBatchFiles = 1'000'000;

enum class BatchRegionMode : int32_t { EntireFile = 0, LastSeconds = 1, FirstSeconds = 2, Range = 3 };

struct BatchJob {
  FilterTypeId filterType = kNoBatchFilter;  // a batch list type id, or -1
  std::string presetName;
  int32_t regionMode = 0;                   // a BatchRegionMode; other values act as 0
  double firstSeconds = 3.0;
  double lastSeconds = 3.0;
  double rangeFrom = 0.0;
  double rangeTo = 999.0;
  std::vector<std::string> files;
  bool useDestinationDirectory = false;
  std::string destinationDirectory;
  // Documents stay open after their result is saved (the window's option; not in the file).
  bool keepDocumentsOpen = false;

  bool operator==(const BatchJob&) const = default;
};

// ---- The batch file ----

// Appends one string in the length encoding above.
void AppendBatchString(std::vector<uint8_t>& out, std::string_view text);
// The bytes of the batch file of job (the destination and keepDocumentsOpen are not stored).
std::vector<uint8_t> EncodeBatchFile(const BatchJob& job);

enum class BatchLoadResult {
  Loaded,      // the job was read
  WrongMagic,  // not a batch file: nothing read, the job unchanged, nothing shown
  CannotOpen,  // unreadable, truncated or damaged: the job unchanged
};

// Reads a batch file's bytes into job: filter type, region mode, the four times, the preset
// name and the file list; the destination and keepDocumentsOpen stay. A count or length that
// runs past the end of the bytes is damage (CannotOpen), never an allocation.
BatchLoadResult DecodeBatchFile(std::span<const uint8_t> bytes, BatchJob& job);

// Loads path into job. A name whose extension is exactly "wls" is a playlist: only the file
// list is replaced by the list's paths. Anything else is read as a batch file. On any result
// other than Loaded the job is unchanged.
BatchLoadResult LoadBatchJob(const std::string& path, BatchJob& job);
// Reads only a playlist's paths into files (replaced only on Loaded).
BatchLoadResult LoadPlaylistAsFileList(const std::string& path, std::vector<std::string>& files);
// True when the name's extension is exactly "wls" (case counts).
bool IsPlaylistName(std::string_view path);

// The text to show for a load result: the "cannot open" message for CannotOpen, empty
// otherwise (a wrong magic shows nothing in the window).
std::string BatchLoadMessage(BatchLoadResult result);
// "%1 is not a batch file.": for the command line, which must say why it did nothing.
std::string NotABatchFileMessage(const std::string& path);

// Writes job's batch file at path, whole or not at all (temporary name beside it, then a
// rename). Never through a link or over one, never over a file that is not a batch file.
// Empty on success, else the message to show.
std::string SaveBatchJob(const std::string& path, const BatchJob& job);

// ---- The fields ----

// A time field's value is accepted when it lies in 0 ... 32000.
bool IsBatchSecondsValid(double seconds);
// "Please enter a number between 0 and 32000."
std::string BatchSecondsRangeMessage();
// The index (0 first, 1 last, 2 range from, 3 range to) of the first time field outside the
// range, or -1 when all are valid.
int FirstInvalidBatchTimeField(const BatchJob& job);

// ---- The run ----

struct BatchByteRegion {
  uint64_t start = 0;
  uint64_t end = 0;  // start == end: empty
  bool operator==(const BatchByteRegion&) const = default;
};

// The region of a file of dataBytes bytes of sound for the job's mode: seconds become
// milliseconds (truncated), then bytes (avgBytesPerSecond x ms / 1000, truncated), each
// clamped to the length; mode 1 beyond the length is empty at the end. Both ends are then
// rounded down to whole frames of blockAlign bytes (a run rounds to frames anyway). A range
// whose end lies before its start is empty at its start.
BatchByteRegion BatchRegion(const BatchJob& job, uint64_t dataBytes, uint32_t avgBytesPerSecond,
                            uint32_t blockAlign);

// The output name of sourcePath. With the destination directory: the directory (one trailing
// slash dropped; an empty one is the working folder) and the source's file name. Otherwise the
// next free numbered name beside the source: the digits ending the name are read as a number
// (1 when none or smaller), then the first of name+number+extension that is not taken, up to
// 999 (take3.wav -> take4.wav when take3.wav exists, song.wav -> song1.wav). Beside the
// source a name is taken when anything exists there (a dangling link too). In both modes a
// name is taken when it is a source of the job by any spelling, or a name in taken (given to
// another file of the same run); in the destination directory a taken name moves on to the
// numbered names there (song.wav, song1.wav, ...), so two sources of one file name from
// different folders never write one output, while a file left there by an earlier run keeps
// its name (the save asks before replacing it). Empty when no free name is left.
std::string BatchOutputName(const BatchJob& job, const std::string& sourcePath,
                            const std::vector<std::string>& taken = {});
// The output names of every file of the job in list order, each also kept from the names
// given to the files before it: one run writes each output once. Empty entries where no free
// name is left. Decided from what exists when called: a run decides all its names before it
// writes the first output.
std::vector<std::string> BatchOutputNames(const BatchJob& job);
// "No free name is left for the result of %1: the numbered names up to 999 are all taken."
std::string NoFreeOutputNameMessage(const std::string& sourcePath);

// True for an MP3 file: the extension ".mp3" (any case), or, when the file can be read, an
// ID3 tag or an MPEG audio frame at its start.
bool IsMp3(const std::string& path);
// The message for an MP3 entry, which is skipped until MP3 files can be imported.
std::string Mp3RefusedMessage(const std::string& path);

// ---- The filters and their presets ----

// The preset section of a batch list type: "FilterGraphSet" for the MultiFilter, the engine's
// section for a filter with presets, empty for Normalize and for a type without presets.
std::string BatchPresetSection(FilterTypeId type);
// The presets a batch row offers, in the section's order, leaving out names that begin "_*".
// Empty when the type has no section.
std::vector<std::string> BatchPresetNames(FilterTypeId type);
// The index of the first name beginning with presetName (ASCII case ignored), -1 for none.
int FindBatchPreset(const std::vector<std::string>& names, std::string_view presetName);
// The batch list row of a type, or -1.
int BatchFilterRow(FilterTypeId type);

}  // namespace ztlive
