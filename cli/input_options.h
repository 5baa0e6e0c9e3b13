// The options of the commands that take the sound card's input: the format it is recorded in
// (--rate, --bits, --mono, else the recording window's stored choices) and --seconds; and the
// level texts of their status lines.
#pragma once

#include <optional>
#include <string>

#include "cli/command.h"
#include "core/sample_value.h"
#include "core/wave_format.h"
#include "platform/settings_store.h"

namespace ztlive::cli {

inline constexpr uint32_t kLowestInputRate = 8000;
inline constexpr uint32_t kHighestInputRate = 97000;

struct InputOptions {
  WaveFormat format;
  std::optional<double> seconds;  // the command ends after this much input
};

// The recording window's stored format: "RecordRate" (48000, 44100, 22050, 11025 Hz or
// "CustomRate"), "RecordStereo" (0 stereo, 1 mono) and "RecordBits" (8, 16, 20 or 24).
WaveFormat StoredRecordFormat(const SettingsStore& settings);

// The stored format with what --rate, --bits and --mono change, and --seconds; false after a
// message (wrong usage).
bool ReadInputOptions(const ParsedArguments& parsed, const SettingsStore& settings, InputOptions& options,
                      CommandContext& context);

// A peak in sample-value scale as dB below full scale, five characters before " dB".
std::string PeakText(SampleValue peak);

// The largest magnitude of each channel of interleaved values (right = left for one channel).
void MeasurePeaks(const SampleValue* begin, const SampleValue* end, int channels, SampleValue& left,
                  SampleValue& right);

// "stereo" or "mono", as the messages say it.
std::string ChannelsText(int channels);

}  // namespace ztlive::cli
