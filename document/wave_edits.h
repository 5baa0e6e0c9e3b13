// The edit primitives: each changes a byte range of a wave file on disk, streaming it in
// pieces of up to 4096 samples through WaveStream, reports its own failure through Prompts
// and returns 1 done, 0 failed. Offsets are data byte offsets, rounded down to whole frames.
// The edit commands (edit_commands.h) put undo and the questions around them.
#pragma once

#include <cstdint>
#include <string>

#include "core/wave_format.h"
#include "document/edit_settings.h"
#include "platform/prompts.h"

namespace ztlive {

class DeviceEngine;
class MessageQueue;
class WaveStream;
struct RunState;

// How ApplyGainCurve's factor runs over the range.
enum GainCurveMode : int {
  kGainMute = 0,        // factor 0
  kGainLinear = 1,      // from g1 to g2 in a straight line
  kGainLogFadeIn = 2,   // g1 + (g2 - g1) / e^10 * e^(10 x / L)
  kGainLogFadeOut = 3,  // g2 + (g1 - g2) / e^10 * e^(10 (1 - x / L))
  kGainAdjustable = 11  // the cubic through four dB levels g1, p1, p2, g2
};

// Scales the values of [from, to) by a factor that follows mode over the range; both values of
// a stereo frame take the factor of the frame's first byte. Gains are plain factors, except in
// kGainAdjustable where all four levels are in dB.
int ApplyGainCurve(const std::string& file, uint64_t from, uint64_t to, double g1, double g2, int mode, double p1,
                   double p2, Prompts& prompts);

// Mixes clip [clipFrom, clipTo) (clipTo 0: to the end) into file [from, to): every value becomes
// (clip x clipPercent + file x filePercent) / 100, over the shorter of the two ranges. Both files
// must have the same channels and rate.
int MixIntoFile(const std::string& clipFile, const std::string& file, uint64_t clipFrom, uint64_t clipTo,
                uint64_t from, uint64_t to, int clipPercent, int filePercent, Prompts& prompts);

// The crossfade's curves: 0 silence, 1 linear, 2 and 3 exponential; any other: both gains 1.
enum CrossfadeCurve : int { kCrossfadeSilence = 0, kCrossfadeLinear = 1, kCrossfadeLogIn = 2, kCrossfadeLogOut = 3 };

// Start and end gains, in percent, of the file faded in (a) and the file faded into (b).
struct CrossfadeLevels {
  double a0 = 100;
  double a1 = 100;
  double b0 = 100;
  double b1 = 100;
};

// What a crossfade works with besides the files: the queue dispatched before every piece and
// the run state whose stop request ends it early (both optional), and for a preview the device
// engine and the play stream it was made with: the result is played instead of written.
struct CrossfadeControl {
  MessageQueue* queue = nullptr;
  RunState* run = nullptr;
  DeviceEngine* devices = nullptr;
  WaveStream* playStream = nullptr;

  bool Preview() const { return devices != nullptr && playStream != nullptr; }
};

// Fades fileA [aFrom, aTo) into fileB [bFrom, bTo): every value of B's range becomes
// A x gA + B x gB, the gains following curve from the start levels to the end levels. A's part
// beyond its range reads as silence. B grows when its range runs past its data. A stop request
// ends it early, which is no failure.
int CrossfadeFiles(const std::string& fileA, const std::string& fileB, uint64_t aFrom, uint64_t aTo, uint64_t bFrom,
                   uint64_t bTo, const CrossfadeLevels& levels, int curve, const CrossfadeControl& control,
                   Prompts& prompts);

// Writes source [from, to) backwards, whole frames at a time (the channels of a frame keep their
// places), into destination from destFrom on; a missing destination is made in the source's
// format.
int ReverseRange(const std::string& source, const std::string& destination, uint64_t from, uint64_t to,
                 uint64_t destFrom, Prompts& prompts);

// Makes path a wave file of format holding seconds of silence.
int WriteSilenceFile(const std::string& path, WaveFormat format, double seconds, Prompts& prompts);

// The largest selection Interpolate rebuilds is one byte shorter than this.
inline constexpr uint64_t kInterpolateLimitBytes = 2049;

// Rebuilds [from, to) of the chosen channels from the audio around it by two-sided
// autoregressive prediction. Selections of kInterpolateLimitBytes or more are refused.
int InterpolateRange(const std::string& file, uint64_t from, uint64_t to, InterpolateChannels channels,
                     Prompts& prompts);

}  // namespace ztlive
